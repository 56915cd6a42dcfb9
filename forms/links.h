#pragma once

// The links between the windows: what each window offers the others, and
// how one window reaches another without naming its class. The catalogue,
// the loans window and the search dialog each implement their link; the
// plug-in wiring (plugin/windowlinks.h) installs the three windows behind
// them, and tests install the same wiring.
//
//   // The loans window, after saving a loan:
//   if (forms::CatalogueLink* catalogue = forms::catalogueWindow(forms::Reach::Existing))
//       catalogue->followSavedLoan(code);
//
// Each window still exists at most once in the process and is created on
// first reference: Reach::Create creates it (and loads it, as referring to
// it always did), Reach::Existing never does.
#include <QString>

#include <functional>
#include <optional>

namespace ondrel::forms {

// Whether reaching a window may create it.
enum class Reach {
    Existing,  // the window if it was created, otherwise none
    Create,    // the window, created and loaded on first reference
};

// What the catalogue window offers the loans window.
class CatalogueLink {
public:
    // The code of the object shown.
    virtual QString shownCode() const = 0;
    // A loan of the object `code` was saved: the catalogue re-reads its
    // loans, refreshes its objects and shows that object, so its lent or
    // available display follows at once. A catalogue not loaded stays as it
    // is, and so does one whose typed object cannot be stored (it says why).
    virtual void followSavedLoan(const QString& code) = 0;
    // Shows the window, loading it on the first showing.
    virtual void Show() = 0;

protected:
    ~CatalogueLink() = default;
};

// An object to lend, as the catalogue shows it.
struct LoanObject {
    QString code;
    QString kind;
    QString title;
    QString author;
};

// What the loans window offers the catalogue.
class LoansLink {
public:
    // Starts a new loan of the object: the loans window fills its own boxes
    // (the object, today's date, "Não"), takes its adding state, shows itself
    // and puts the focus on the borrower's name. A loan typed there that
    // cannot be stored keeps the window as it is (it says why); nothing is
    // started then.
    virtual void startLoanOf(const LoanObject& object) = 0;
    // Shows the window on its view "Atrasados" (a search in force is closed
    // first); a loan typed there that cannot be stored keeps the window as
    // it is (it says why).
    virtual void showLateLoans() = 0;
    // Shows the window as it is, loading it when it was closed.
    virtual void Show() = 0;

protected:
    ~LoansLink() = default;
};

// Which window opened the search dialog.
enum class SearchCaller {
    Catalogue,
    Loans,
};

// Which loans a loans search looks into at first: all of them, or the late
// ones (asked from the view "Atrasados").
enum class SearchScope {
    All,
    Late,
};

// What a record window offers the search dialog.
class SearchTarget {
public:
    // Stores what is typed in the window before a search; false when it was
    // refused (the window said why) and the search must not go on.
    virtual bool saveTypedValues() = 0;
    // "&Ok": lists what `statement` selects (empty: the field was no entry,
    // the listing stays) and takes the window's search state; `status`, when
    // set, is the text of the window's status label afterwards.
    virtual void applySearch(const QString& statement, const std::optional<QString>& status) = 0;
    // "&Cancela": undoes the window's preparations for the search, leaving
    // its listing as it is; `status` is the text of the status label, where
    // the window shows one.
    virtual void cancelSearch(const QString& status) = 0;

protected:
    ~SearchTarget() = default;
};

// What the search dialog offers the record windows.
class SearchDialogLink {
public:
    // Fills the dialog's field list and flags for the caller: its entries,
    // the one preselected, which window asks and, for the loans, the scope.
    virtual void prepareFor(SearchCaller caller, SearchScope scope = SearchScope::All) = 0;
    // Shows the dialog modally; returns when it is closed.
    virtual void ShowModal() = 0;

protected:
    ~SearchDialogLink() = default;
};

// The windows behind the links, as the plug-in wiring installs them.
struct WindowProviders {
    std::function<CatalogueLink*(Reach)> catalogue;
    std::function<LoansLink*(Reach)> loans;
    std::function<SearchDialogLink*()> searchDialog;  // created on first reference
    std::function<SearchTarget*(SearchCaller)> searchTarget;  // existing windows only
};
void installWindows(WindowProviders providers);

// The windows, reached through what was installed. With Reach::Create they
// are never null: nothing installed fails the statement that asks.
CatalogueLink* catalogueWindow(Reach reach);
LoansLink* loansWindow(Reach reach);
SearchDialogLink& searchDialog();
// The window that opened the search, if it exists.
SearchTarget* searchTarget(SearchCaller caller);

}  // namespace ondrel::forms
