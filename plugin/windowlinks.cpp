#include "windowlinks.h"

#include "catalogue/Frmobjetos.h"
#include "forms/links.h"
#include "loans/Frmemprestimos.h"
#include "search/Frmpesquisa.h"

namespace ondrel::plugin {

void installWindowLinks()
{
    // Once per process: a Run nested in the event loop of another must not
    // replace what the outer one is calling through.
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    using catalogue::Frmobjetos;
    using forms::Reach;
    using loans::Frmemprestimos;
    using search::Frmpesquisa;
    forms::installWindows({
        [](Reach reach) -> forms::CatalogueLink* {
            return reach == Reach::Create ? Frmobjetos::instance() : Frmobjetos::existing();
        },
        [](Reach reach) -> forms::LoansLink* {
            return reach == Reach::Create ? Frmemprestimos::instance() : Frmemprestimos::existing();
        },
        []() -> forms::SearchDialogLink* { return Frmpesquisa::instance(); },
        [](forms::SearchCaller caller) -> forms::SearchTarget* {
            if (caller == forms::SearchCaller::Catalogue)
                return Frmobjetos::existing();
            return Frmemprestimos::existing();
        },
    });
}

}  // namespace ondrel::plugin
