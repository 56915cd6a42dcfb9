// The help in the built plug-in folder: every page reached from the entry
// file without a dead link, every caption or message it quotes one the
// program has, F1 opening each window's page (in the search dialog, a viewer
// that can be scrolled while the dialog is up), and the home link's page.
#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "loans_testutil.h"
#include "search/Frmpesquisa.h"
#include "widgets/picturebutton.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QWindow>

using namespace loanstest;
using ondrel::chrome::HelpViewer;
using ondrel::search::Frmpesquisa;

namespace {

const QDir kBuiltFolder(QStringLiteral(ONDREL_PLUGIN_DIR));

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The help's files in the built plug-in folder: the entry file, its pages and
// style sheet.
QStringList helpFiles()
{
    return kBuiltFolder.entryList({QStringLiteral("Ulmix.hlp"), QStringLiteral("*.html"), QStringLiteral("*.css")},
                                  QDir::Files, QDir::Name);
}

QStringList captures(const QString& pattern, const QString& text)
{
    QStringList found;
    QRegularExpressionMatchIterator it =
        QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

// A text as a person reads it: spaces run together, accelerator marks gone.
QSet<QString> readings(const QString& text)
{
    const QString shown = text.simplified();
    if (shown.isEmpty())
        return {};
    QString plain = shown;
    plain.replace(QLatin1String("&&"), QString(QChar(1))).remove(u'&').replace(QChar(1), u'&');
    return {shown, plain};
}

// Every text the windows under `window` show: captions, menus, tabs, list
// items, column headers, hover texts and accessible names.
void addWindowTexts(QSet<QString>& known, QWidget* window)
{
    QList<QObject*> objects = window->findChildren<QObject*>();
    objects.prepend(window);
    QStringList texts;
    for (QObject* o : objects) {
        if (auto* w = qobject_cast<QWidget*>(o))
            texts << w->windowTitle() << w->toolTip() << w->accessibleName();
        if (auto* a = qobject_cast<QAction*>(o))
            texts << a->text();
        if (auto* m = qobject_cast<QMenu*>(o))
            texts << m->title();
        if (auto* b = qobject_cast<QAbstractButton*>(o))
            texts << b->text();
        if (auto* l = qobject_cast<QLabel*>(o))
            texts << l->text();
        if (auto* g = qobject_cast<QGroupBox*>(o))
            texts << g->title();
        if (auto* t = qobject_cast<QTabWidget*>(o))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
        if (auto* c = qobject_cast<QComboBox*>(o))
            for (int i = 0; i < c->count(); ++i)
                texts << c->itemText(i);
        if (auto* v = qobject_cast<QAbstractItemView*>(o); v && v->model())
            for (int i = 0; i < v->model()->columnCount(); ++i)
                texts << v->model()->headerData(i, Qt::Horizontal).toString();
    }
    for (const QString& t : texts)
        known += readings(t);
}

// The string literals of one C++ source, adjacent literals joined as the
// compiler joins them; comments and character literals are skipped.
QStringList literalsOf(const QString& code)
{
    QStringList found;
    QString run;
    bool inRun = false;
    const auto endRun = [&] {
        if (inRun)
            found << run;
        run.clear();
        inRun = false;
    };
    const qsizetype n = code.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = code[i];
        if (c == u'/' && i + 1 < n && code[i + 1] == u'/') {
            i = code.indexOf(u'\n', i);
            i = i < 0 ? n : i;
        } else if (c == u'/' && i + 1 < n && code[i + 1] == u'*') {
            i = code.indexOf(QLatin1String("*/"), i + 2);
            i = i < 0 ? n : i + 2;
        } else if (c == u'\'') {
            endRun();
            if (i > 0 && code[i - 1].isDigit()) {  // a digit separator
                ++i;
                continue;
            }
            for (++i; i < n && code[i] != u'\''; ++i)
                if (code[i] == u'\\')
                    ++i;
            ++i;
        } else if (c == u'"') {
            inRun = true;
            if (i > 0 && code[i - 1] == u'R') {  // R"delim( ... )delim"
                const qsizetype open = code.indexOf(u'(', i);
                const QString close = u')' + code.mid(i + 1, open - i - 1) + u'"';
                const qsizetype end = code.indexOf(close, open);
                run += code.mid(open + 1, end - open - 1);
                i = end + close.size();
                continue;
            }
            for (++i; i < n && code[i] != u'"'; ++i) {
                if (code[i] != u'\\') {
                    run += code[i];
                    continue;
                }
                const QChar e = code[++i];
                run += e == u'n' ? QChar(u'\n') : e == u'r' ? QChar(u'\r') : e == u't' ? QChar(u'\t') : e;
            }
            ++i;
        } else if (c.isLetterOrNumber() || c == u'_') {
            qsizetype end = i;
            while (end < n && (code[end].isLetterOrNumber() || code[end] == u'_'))
                ++end;
            // u8"", u"", L"", R"()" and the like: a prefix, not a break.
            static const QStringList prefixes{"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"};
            if (!(end < n && code[end] == u'"' && prefixes.contains(code.mid(i, end - i))))
                endRun();
            i = end;
        } else {
            if (!c.isSpace())
                endRun();
            ++i;
        }
    }
    endRun();
    return found;
}

// The message texts of the program: every string literal of its sources
// (tests, benchmark and build trees left out), wherever a window keeps them.
QSet<QString> programLiterals()
{
    QSet<QString> known;
    const QString root = QStringLiteral(ONDREL_SOURCE_DIR);
    QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QStringList parts = QDir(root).relativeFilePath(path).split(u'/');
        bool product = true;
        QDir dir(root);
        for (qsizetype p = 0; p + 1 < parts.size() && product; ++p) {
            dir.cd(parts[p]);
            product = !parts[p].startsWith(u'.') && parts[p] != QLatin1String("tests") &&
                      parts[p] != QLatin1String("bench") && !dir.exists(QStringLiteral("CMakeCache.txt"));
        }
        if (product)
            for (const QString& literal : literalsOf(read(path)))
                known += readings(literal);
    }
    return known;
}

// Copies the built help into a plug-in folder.
void copyHelp(const QDir& into)
{
    for (const QString& name : helpFiles())
        QFile::copy(kBuiltFolder.filePath(name), into.filePath(name));
}

// Whether Page Down, as the window system delivers it, scrolls the viewer
// (it does not reach a window a modal dialog blocks).
bool scrollsByKey(HelpViewer* viewer)
{
    viewer->resize(320, 200);  // shorter than any page
    QScrollBar* bar = viewer->browser()->verticalScrollBar();
    if (!QTest::qWaitFor([&] { return bar->maximum() > 0; }, 2000))
        return false;
    bar->setValue(0);
    viewer->browser()->setFocus();
    QTest::keyClick(viewer->windowHandle(), Qt::Key_PageDown);
    return bar->value() > 0;
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT
private slots:
    void everyPageReachedWithoutDeadLinks();
    void everyMarkedTextIsTheProgramsOwn();
    void f1OpensTheWindowsPage_data();
    void f1OpensTheWindowsPage();
    void f1InTheSearchDialogCanBeReadWhileItIsUp_data();
    void f1InTheSearchDialogCanBeReadWhileItIsUp();
    void homeLinkLeadsToItsPage();
};

void HelpTest::everyPageReachedWithoutDeadLinks()
{
    const QStringList files = helpFiles();
    QVERIFY(files.contains(QStringLiteral("Ulmix.hlp")));
    QStringList dead;
    QSet<QString> reached{QStringLiteral("Ulmix.hlp")};
    QStringList queue{QStringLiteral("Ulmix.hlp")};
    while (!queue.isEmpty()) {
        const QString page = queue.takeFirst();
        for (const QString& link : captures(QStringLiteral(R"re(\b(?:href|src)\s*=\s*"([^"]*)")re"), read(kBuiltFolder.filePath(page)))) {
            const QUrl url(link);
            const QString target = url.path().isEmpty() ? page : url.path();
            // Only pages of ours, side by side: nothing that may not resolve.
            if (!url.scheme().isEmpty() || target.contains(u'/') || !files.contains(target)) {
                dead << page + QStringLiteral(" -> ") + link;
                continue;
            }
            const QString anchor = url.fragment();
            if (!anchor.isEmpty() &&
                !captures(QStringLiteral(R"re(\b(?:id|name)\s*=\s*"([^"]*)")re"), read(kBuiltFolder.filePath(target))).contains(anchor))
                dead << page + QStringLiteral(" -> ") + link;
            if (!reached.contains(target)) {
                reached << target;
                queue << target;
            }
        }
    }
    QVERIFY2(dead.isEmpty(), qPrintable(QStringLiteral("dead links: ") + dead.join(QStringLiteral(", "))));
    QStringList unreached;
    for (const QString& file : files)
        if (!reached.contains(file))
            unreached << file;
    QVERIFY2(unreached.isEmpty(), qPrintable(QStringLiteral("not reached from Ulmix.hlp: ") + unreached.join(u' ')));
    for (const char* page : {ondrel::chrome::kCatalogueHelpPage, ondrel::chrome::kLoansHelpPage,
                             ondrel::chrome::kSearchHelpPage, ondrel::chrome::kHomePageFileName})
        QVERIFY2(reached.contains(QString::fromLatin1(page)), page);
}

void HelpTest::everyMarkedTextIsTheProgramsOwn()
{
    Folder folder(standardObjects(), standardLoans());
    Frmobjetos* objetos = testutil::shown<Frmobjetos>();
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);

    QSet<QString> known = programLiterals();
    addWindowTexts(known, objetos);
    addWindowTexts(known, loans);
    // The search dialog as each window fills it.
    for (const std::function<void()>& open : std::initializer_list<std::function<void()>>{
             [&] { objetos->cmdSeleciona_Click(); }, [&] { loans->cmdSeleciona_Click(); }})
        QVERIFY(testutil::answerDialog<Frmpesquisa>(open, [&](Frmpesquisa* dialog) {
            addWindowTexts(known, dialog);
            dialog->Command1[1]->click();
        }));

    QStringList unknown;
    int marked = 0;
    for (const QString& page : helpFiles()) {
        for (const QString& html : captures(QStringLiteral(R"re(<span class="ui">(.*?)</span>)re"), read(kBuiltFolder.filePath(page)))) {
            ++marked;
            const QString text = QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
            if (!known.contains(text))
                unknown << page + QStringLiteral(": \"") + text + u'"';
        }
    }
    QVERIFY2(unknown.isEmpty(), qPrintable(QStringLiteral("not in the program: ") + unknown.join(QStringLiteral(", "))));
    QVERIFY(marked > 100);
}

void HelpTest::f1OpensTheWindowsPage_data()
{
    QTest::addColumn<bool>("loansWindow");
    QTest::addColumn<QString>("page");
    QTest::newRow("catálogo") << false << QString::fromLatin1(ondrel::chrome::kCatalogueHelpPage);
    QTest::newRow("empréstimos") << true << QString::fromLatin1(ondrel::chrome::kLoansHelpPage);
}

void HelpTest::f1OpensTheWindowsPage()
{
    QFETCH(bool, loansWindow);
    QFETCH(QString, page);
    Folder folder(standardObjects(), standardLoans());
    copyHelp(folder.dir.path());
    Frmobjetos* objetos = Frmobjetos::instance();
    objetos->Show();  // registers the folder's help file
    QWidget* window = objetos;
    if (loansWindow)
        window = openLoans();
    QVERIFY(testutil::showActive(window));

    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_F1);
    HelpViewer* viewer = HelpViewer::current();
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->fileName(), folder.dir.filePath(page));
    QCOMPARE(viewer->browser()->source(), QUrl::fromLocalFile(folder.dir.filePath(page)));
    QCOMPARE(viewer->browser()->documentTitle(), QTextDocumentFragment::fromHtml(
        captures(QStringLiteral("<title>(.*?)</title>"), read(folder.dir.filePath(page))).value(0)).toPlainText());
    // The style sheet beside it applies: a quoted caption stands out.
    QCOMPARE(viewer->browser()->document()->find(QStringLiteral("Salvar")).charFormat().fontWeight(), int(QFont::Bold));
    // The text keeps clear of the window's edge.
    QVERIFY(viewer->browser()->cursorRect(QTextCursor(viewer->browser()->document())).left() >= 12);

    // Its first link leads back to the index, from the keyboard too.
    QVERIFY(testutil::showActive(viewer));
    QTest::keyClick(viewer->browser(), Qt::Key_Tab);
    QTest::keyClick(viewer->browser(), Qt::Key_Return);
    QCOMPARE(viewer->browser()->source(), QUrl::fromLocalFile(folder.dir.filePath(QStringLiteral("Ulmix.hlp"))));
    QCOMPARE(viewer->browser()->documentTitle(), QStringLiteral("Ajuda do Ulmix"));
    // Alt+Left goes back, as the page of shortcuts says.
    QTest::keyClick(viewer->browser(), Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(viewer->browser()->source(), QUrl::fromLocalFile(folder.dir.filePath(page)));
}

void HelpTest::f1InTheSearchDialogCanBeReadWhileItIsUp_data()
{
    QTest::addColumn<bool>("viewerAlreadyOpen");
    QTest::newRow("no viewer yet") << false;
    QTest::newRow("viewer open from the catalogue") << true;
}

void HelpTest::f1InTheSearchDialogCanBeReadWhileItIsUp()
{
    QFETCH(bool, viewerAlreadyOpen);
    Folder folder(standardObjects(), standardLoans());
    copyHelp(folder.dir.path());
    Frmobjetos* objetos = testutil::shown<Frmobjetos>();
    QVERIFY(testutil::showActive(objetos));
    if (viewerAlreadyOpen) {
        QTest::keyClick(objetos, Qt::Key_F1);
        QVERIFY(HelpViewer::current());
    }

    bool blockedBefore = false;
    bool dialogActive = false;
    QString shown;
    bool scrolled = false;
    QString typed;
    QVERIFY(testutil::answerDialog<Frmpesquisa>([&] { objetos->cmdSeleciona_Click(); }, [&](Frmpesquisa* dialog) {
        if (viewerAlreadyOpen)
            blockedBefore = !scrollsByKey(HelpViewer::current());
        // F1 as the user presses it: in the dialog once it has the focus.
        dialogActive = QTest::qWaitForWindowActive(dialog);
        dialog->Text1->setFocus();
        QTest::keyClick(dialog->Text1, Qt::Key_F1);
        if (HelpViewer* viewer = HelpViewer::current()) {
            shown = viewer->fileName();
            scrolled = viewer->isVisible() && scrollsByKey(viewer);
        }
        // The dialog goes on taking the keyboard and its commands.
        dialog->Combo1->setEditText(QStringLiteral("Título"));
        QTest::keyClicks(dialog->Text1, QStringLiteral("Veja"));
        typed = dialog->Text1->text();
        dialog->Command1[0]->click();
    }));
    QCOMPARE(blockedBefore, viewerAlreadyOpen);
    QVERIFY(dialogActive);
    QCOMPARE(shown, folder.dir.filePath(QString::fromLatin1(ondrel::chrome::kSearchHelpPage)));
    QVERIFY(scrolled);
    QCOMPARE(typed, QStringLiteral("Veja"));
    QCOMPARE(objetos->Txtcod->text(), QStringLiteral("B2"));
    QCOMPARE(objetos->Data1->recordset()->recordCount(), 1);

    // The page stays open after the dialog; F1 in the catalogue takes the
    // viewer back there.
    HelpViewer* viewer = HelpViewer::current();
    QVERIFY(viewer && viewer->isVisible());
    QVERIFY(testutil::showActive(objetos));
    QTest::keyClick(objetos, Qt::Key_F1);
    QCOMPARE(HelpViewer::current(), viewer);
    QCOMPARE(viewer->parentWidget(), objetos);
    QCOMPARE(viewer->fileName(), folder.dir.filePath(QString::fromLatin1(ondrel::chrome::kCatalogueHelpPage)));
    QVERIFY(viewer->isVisible());
}

void HelpTest::homeLinkLeadsToItsPage()
{
    const QString configured = QStringLiteral(ONDREL_HOME_URL);
    testutil::PluginFolder folder;
    if (!configured.isEmpty()) {
        QCOMPARE(ondrel::chrome::homePage(), configured);
        return;
    }
    // No maker's page set: our page about Ulmix beside the plug-in, as a file
    // address, shown on hover and opened on click.
    // A folder name a person may choose still leads to the page.
    QVERIFY(QDir(folder.dir.path()).mkpath(QStringLiteral("Minha Coleção #1 100%")));
    const QString plugin = folder.dir.filePath(QStringLiteral("Minha Coleção #1 100%"));
    ondrel::db::setPluginFolder(plugin);
    const QString page = plugin + u'/' + QString::fromLatin1(ondrel::chrome::kHomePageFileName);
    QCOMPARE(ondrel::chrome::homePage(), QUrl::fromLocalFile(page).toString());
    QCOMPARE(QUrl::fromUserInput(ondrel::chrome::homePage()).toLocalFile(), page);  // as the shell opens it
    Frmobjetos* objetos = Frmobjetos::instance();
    QCOMPARE(objetos->cmdHome->text(), QStringLiteral("Ondrel"));
    testutil::enter(objetos->cmdHome);
    QCOMPARE(objetos->lblpanel->text(), ondrel::chrome::homePage());
    objetos->cmdHome->click();
    QCOMPARE(folder.services.opened, QStringList{ondrel::chrome::homePage()});

    // The page in the built folder says what Ulmix is, its version, where the
    // collection lives and how to get help.
    const QString about = QTextDocumentFragment::fromHtml(
                              read(kBuiltFolder.filePath(QString::fromLatin1(ondrel::chrome::kHomePageFileName))))
                              .toPlainText();
    for (const QString& says : {QStringLiteral("Versão " ONDREL_VERSION), QString::fromLatin1(ondrel::db::kDatabaseFileName),
                                QStringLiteral("F1"), QStringLiteral("coleção")})
        QVERIFY2(about.contains(says), qPrintable(says));
}

QTEST_MAIN(HelpTest)
#include "help_test.moc"
