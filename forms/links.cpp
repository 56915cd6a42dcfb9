#include "links.h"

#include <stdexcept>

namespace ondrel::forms {

namespace {

WindowProviders& installed()
{
    static WindowProviders providers;
    return providers;
}

[[noreturn]] void notInstalled(const char* window)
{
    throw std::runtime_error(std::string("A janela ") + window + " não está disponível neste programa.");
}

}  // namespace

void installWindows(WindowProviders providers)
{
    installed() = std::move(providers);
}

CatalogueLink* catalogueWindow(Reach reach)
{
    CatalogueLink* window = installed().catalogue ? installed().catalogue(reach) : nullptr;
    if (!window && reach == Reach::Create)
        notInstalled("do catálogo");
    return window;
}

LoansLink* loansWindow(Reach reach)
{
    LoansLink* window = installed().loans ? installed().loans(reach) : nullptr;
    if (!window && reach == Reach::Create)
        notInstalled("de empréstimos");
    return window;
}

SearchDialogLink& searchDialog()
{
    SearchDialogLink* dialog = installed().searchDialog ? installed().searchDialog() : nullptr;
    if (!dialog)
        notInstalled("de pesquisa");
    return *dialog;
}

SearchTarget* searchTarget(SearchCaller caller)
{
    return installed().searchTarget ? installed().searchTarget(caller) : nullptr;
}

}  // namespace ondrel::forms
