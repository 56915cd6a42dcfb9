#include "Frmpesquisa.h"
#include "chrome/opencollection.h"

#include "chrome/chrome.h"
#include "collection/collection.h"
#include "collection/duedates.h"
#include "collection/places.h"
#include "collection/statements.h"
#include "database/database.h"
#include "database/recordset.h"
#include "forms/formhelpers.h"
#include "forms/guard.h"
#include "forms/storedqueries.h"
#include "platform/services.h"
#include "platform/windowfont.h"
#include "widgets/resizer.h"
#include "widgets/twips.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <limits>
#include <utility>

namespace ondrel::search {

namespace {


// Client area in twips.
constexpr int kClientWidth = 4755;
constexpr int kClientHeight = 2835;

// The field entries each caller offers, in the order offered (the first one
// preselected), and the column each one searches. The combo box's text is
// compared with them exactly (case and accents).
using Entry = std::pair<const char*, const char*>;
constexpr Entry kObjectEntries[] = {
    {"Objeto", "objeto"}, {"Título", "título"}, {"Autor(a)", "autor"},
    {"Assunto", "assunto"}, {"Descrição", "descrição"},
};
constexpr Entry kLoanEntries[] = {
    {"Nome", "nome"}, {"Objeto", "objeto"}, {"Título", "título"}, {"Autor(a)", "autor"},
};

template <std::size_t N>
void offer(QComboBox* list, const Entry (&entries)[N])
{
    for (const Entry& entry : entries)
        list->addItem(QString::fromUtf8(entry.first));
    list->setEditText(QString::fromUtf8(entries[0].first));
}

template <std::size_t N>
QString columnFor(const Entry (&entries)[N], const QString& text)
{
    for (const auto& [entry, column] : entries) {
        if (text == QString::fromUtf8(entry))
            return QString::fromUtf8(column);
    }
    return QString();
}

// Clears an exclusive pair of option buttons.
void clearGroup(QButtonGroup* group)
{
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

Frmpesquisa::Frmpesquisa() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("Frmpesquisa"));
    setWindowTitle(QStringLiteral("Pesquisar..."));
    setModal(true);
    platform::useWindowLook(this);
    buildLayout();
    resetToLoadLayout();
    // F1 opens the search's help page in a viewer this dialog owns, so it can
    // be read and scrolled while the dialog is up.
    chrome::installHelpKey(this, QString::fromLatin1(chrome::kSearchHelpPage));
}

Frmpesquisa::~Frmpesquisa()
{
    forget(this);
}

int Frmpesquisa::twipsToPixels(int twips) const
{
    return platform::twipsToPixels(twips, platform::logicalDpi(this));
}

void Frmpesquisa::buildLayout()
{
    using platform::named;
    using platform::placeInTwips;
    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));
    // Three quarters of the opening size: the captions still legible.
    setMinimumSize(twipsToPixels(kClientWidth * 3 / 4), twipsToPixels(kClientHeight * 3 / 4));

    // Created back to front: the flags and the total box first, Frame2 over
    // them, Frame1 over everything (resetToLoadLayout raises it again).
    txttotal = named(new QLineEdit(this), QStringLiteral("txttotal"));
    placeInTwips(txttotal, 3324, 1212, 852, 288);
    txttotal->setFocusPolicy(Qt::NoFocus);

    Frame3 = named(new QFrame(this), QStringLiteral("Frame3"));
    placeInTwips(Frame3, 1908, 888, 936, 576);
    Optobjeto = named(new QRadioButton(Frame3), QStringLiteral("Optobjeto"));
    placeInTwips(Optobjeto, 60, 192, 588, 192);
    Optemprestimo = named(new QRadioButton(Frame3), QStringLiteral("Optemprestimo"));
    placeInTwips(Optemprestimo, 60, 444, 552, 204);
    // Flags the user never sees: out of the keyboard's reach as well.
    Optobjeto->setFocusPolicy(Qt::NoFocus);
    Optemprestimo->setFocusPolicy(Qt::NoFocus);
    auto* callers = new QButtonGroup(this);
    callers->addButton(Optobjeto);
    callers->addButton(Optemprestimo);

    Frame2 = named(new QGroupBox(QStringLiteral("Objetos"), this), QStringLiteral("Frame2"));
    // Three scopes, closer together: the frame ends above the key's box.
    placeInTwips(Frame2, 2388, 432, 1968, 1000);
    Frame2->setAutoFillBackground(true);
    Option1 = named(new QRadioButton(QStringLiteral("Todos"), Frame2), QStringLiteral("Option1"));
    placeInTwips(Option1, 96, 228, 1116, 240);
    Option2 = named(new QRadioButton(QStringLiteral("Emprestados"), Frame2), QStringLiteral("Option2"));
    placeInTwips(Option2, 96, 480, 1692, 240);
    Option3 = named(new QRadioButton(QStringLiteral("Atrasados"), Frame2), QStringLiteral("Option3"));
    placeInTwips(Option3, 96, 732, 1692, 240);
    auto* scope = new QButtonGroup(this);
    scope->addButton(Option1);
    scope->addButton(Option2);
    scope->addButton(Option3);

    // Opaque, so whatever lies behind it stays out of sight.
    Frame1 = named(new QFrame(this), QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::StyledPanel);
    Frame1->setAutoFillBackground(true);
    placeInTwips(Frame1, 84, 228, 4512, 1824);
    Combo1 = named(new QComboBox(Frame1), QStringLiteral("Combo1"));
    Label1 = platform::makeCaption(Frame1, QStringLiteral("Label1"), QStringLiteral("Escolha um Campo:"), Combo1);
    placeInTwips(Label1, 144, 372, 1920, 192);
    Combo1->setEditable(true);
    // The typed text stays as typed: Enter does not add it to the list, and
    // no completion or case-blind match turns "título" into "Título".
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setCompleter(nullptr);
    // The box keeps Enter and Esc for itself; the dialog takes them (filter).
    Combo1->installEventFilter(this);
    placeInTwips(Combo1, 144, 600, 1848, 288);
    Text1 = named(new QLineEdit(Frame1), QStringLiteral("Text1"));
    Label2 = platform::makeCaption(Frame1, QStringLiteral("Label2"), QStringLiteral("Digite a Chave:"), Text1);
    placeInTwips(Label2, 132, 996, 2496, 192);
    Text1->setMaxLength(std::numeric_limits<int>::max());
    placeInTwips(Text1, 132, 1236, 2904, 300);

    Command1[0] = named(new QPushButton(QStringLiteral("&Ok"), this), QStringLiteral("Command1_0"));
    placeInTwips(Command1[0], 288, 2196, 1044, 336);
    Command1[0]->setDefault(true);
    Command1[1] = named(new QPushButton(QStringLiteral("&Cancela"), this), QStringLiteral("Command1_1"));
    placeInTwips(Command1[1], 3360, 2208, 1044, 336);
    for (int index = 0; index < 2; ++index)
        platform::connectGuarded(Command1[index], &QPushButton::clicked, this, [this, index] { Command1_Click(index); });

    setTabOrder(Combo1, Text1);
    setTabOrder(Text1, Command1[0]);
    setTabOrder(Command1[0], Command1[1]);
    setTabOrder(Command1[1], Option3);
    setTabOrder(Option3, Option2);
    setTabOrder(Option2, Option1);

    Resize1 = named(new platform::Resizer(this), QStringLiteral("Resize1"));
    for (QWidget* container : {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1),
                               static_cast<QWidget*>(Frame2), static_cast<QWidget*>(Frame3)})
        Resize1->addContainer(container);
    Resize1->setEnabled(true);
    Resize1->InitResize();
    Resize1->SaveInitialPositions();
}

void Frmpesquisa::resetToLoadLayout()
{
    Combo1->clear();
    Combo1->setEditText(QString());
    Text1->clear();
    txttotal->clear();
    clearGroup(Optobjeto->group());
    clearGroup(Option1->group());
    Frame1->raise();
    Combo1->setFocus();
}

void Frmpesquisa::prepareFor(forms::SearchCaller caller, forms::SearchScope scope)
{
    switch (caller) {
    case forms::SearchCaller::Catalogue:
        offer(Combo1, kObjectEntries);
        Optobjeto->setChecked(true);
        break;
    case forms::SearchCaller::Loans:
        offer(Combo1, kLoanEntries);
        Frame2->raise();
        Optemprestimo->setChecked(true);
        (scope == forms::SearchScope::Late ? Option3 : Option1)->setChecked(true);
        break;
    }
}

void Frmpesquisa::ShowModal()
{
    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // The scope options are reachable from the keyboard only in a loans
    // search, where the loans window brought their frame forward.
    for (QRadioButton* option : {Option1, Option2, Option3})
        option->setFocusPolicy(Optemprestimo->isChecked() ? Qt::StrongFocus : Qt::NoFocus);
    Combo1->setFocus();
    exec();
}

void Frmpesquisa::done(int result)
{
    QDialog::done(result);
    resetToLoadLayout();
}

void Frmpesquisa::keyPressEvent(QKeyEvent* event)
{
    // Esc is "&Cancela" wherever the focus is (the dialog's own Esc would only
    // close it). Enter reaches the default button "&Ok" through QDialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Command1[1]->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Frmpesquisa::eventFilter(QObject* watched, QEvent* event)
{
    // Keys the field list's text box did not use reach the box itself, which
    // would swallow Enter and Esc: they go to the two commands instead.
    if (watched == Combo1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            Command1[0]->click();
            return true;
        }
        if (plain && key->key() == Qt::Key_Escape) {
            Command1[1]->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Frmpesquisa::Command1_Click(int Index)
{
    if (Index == 0) {
        if (Optobjeto->isChecked())
            PesquisaObjetos();
        else if (Optemprestimo->isChecked())
            PesquisaEmprestimos();
    } else if (Index == 1) {
        Cancela();
    }
}

void Frmpesquisa::openDatabase()
{
    CaminhoBanco = db::collectionLocation();
    BancoDados = chrome::openCollection(CaminhoBanco);
}

void Frmpesquisa::PesquisaObjetos()
{
    // The object typed on the catalogue is stored first; refused, nothing
    // changes and the dialog stays.
    forms::SearchTarget* caller = forms::searchTarget(forms::SearchCaller::Catalogue);
    if (caller && !caller->saveTypedValues())
        return;
    openDatabase();
    TabObjetos = BancoDados->openRecordset(QStringLiteral("objetos"), db::RecordsetType::Dynaset);
    const QString key = Text1->text();
    const QString field = Combo1->currentText();
    forms::SearchTarget* objetos = forms::searchTarget(forms::SearchCaller::Catalogue);

    // A field that is no entry applies no filter and leaves "Imprime" alone.
    QString statement;
    std::optional<QString> status;
    const QString column = columnFor(kObjectEntries, field);
    if (!column.isEmpty()) {
        ConsultaImprime = forms::writeImprime(BancoDados, db::listingWhereContains(column, key));
        statement = db::objectsWhereContains(column, key);
        // The set was never moved: the records reached so far, 1 or 0.
        if (field == QStringLiteral("Descrição"))
            status = QString::number(TabObjetos->recordCount());
    }
    if (objetos)
        objetos->applySearch(statement, status);
    accept();
}

void Frmpesquisa::PesquisaEmprestimos()
{
    const QString key = Text1->text();
    const QString column = columnFor(kLoanEntries, Combo1->currentText());
    forms::SearchTarget* emprestimos = forms::searchTarget(forms::SearchCaller::Loans);
    // The loan typed on the loans window is stored first; refused, nothing
    // changes and the dialog stays.
    if (emprestimos && !emprestimos->saveTypedValues())
        return;

    if (!column.isEmpty() && emprestimos) {
        QString statement;
        if (Option1->isChecked())
            statement = db::loansWhereContains(column, key);
        else if (Option2->isChecked())
            statement = db::notReturnedLoansWhereContains(column, key);
        else if (Option3->isChecked())
        {
            if (!BancoDados)
                openDatabase();
            statement = db::lateLoansWhereContains(
                column, key, db::dueRuleOf(platform::use(BancoDados), platform::services().today()));
        }
        if (!statement.isEmpty())
            emprestimos->applySearch(statement, std::nullopt);
    }
    accept();
}

void Frmpesquisa::Cancela()
{
    if (Optobjeto->isChecked()) {
        if (!BancoDados)
            openDatabase();
        ConsultaImprime = forms::writeImprime(BancoDados, db::listingByCode());
        if (forms::SearchTarget* objetos = forms::searchTarget(forms::SearchCaller::Catalogue))
            objetos->cancelSearch(txttotal->text());
        reject();
    } else if (Optemprestimo->isChecked()) {
        if (forms::SearchTarget* emprestimos = forms::searchTarget(forms::SearchCaller::Loans))
            emprestimos->cancelSearch(txttotal->text());
        reject();
    }
}

}  // namespace ondrel::search
