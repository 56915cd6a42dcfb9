// The chrome of the loans window: the hover texts of its buttons, the home
// link, help and F1.
#include "loans_testutil.h"

#include "chrome/chrome.h"
#include "chrome/helpviewer.h"
#include "widgets/picturebutton.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTextBrowser>

using namespace loanstest;

class LoansChromeTest : public QObject {
    Q_OBJECT
private slots:
    void hoverTexts_data();
    void hoverTexts();
    void hoverFromSearchToHelp();
    void homeLink();
    void helpAndAbout();
    void f1OpensTheHelpFile();
};

void LoansChromeTest::hoverTexts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("to the catalogue") << "ClarkTBButton2_0" << "Tela Objetos";
    QTest::newRow("close") << "ClarkTBButton2_1" << "Fechar";
    QTest::newRow("search") << "cmdSeleciona" << "Pesquisar...";
    QTest::newRow("close search") << "cmdFechar" << "Fechar Pesquisa";
    QTest::newRow("next (member 0)") << "sscommand1_0" << "Próximo Registro";
    QTest::newRow("previous (member 1)") << "sscommand1_1" << "Registro Anterior";
    QTest::newRow("help") << "ctbajuda" << "Ajuda";
    QTest::newRow("home") << "cmdHome" << QString();  // the home page of the test's plug-in folder
    QTest::newRow("record button: none") << "cmdNovo" << "antes";
}

void LoansChromeTest::hoverTexts()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    OPEN_LOANS(standardObjects(), standardLoans());
    auto* b = loans->findChild<QWidget*>(button);
    QVERIFY(b);
    loans->lblpanel->setText(QStringLiteral("antes"));
    enter(b);
    QCOMPARE(loans->lblpanel->text(), text.isEmpty() ? ondrel::chrome::homePage() : text);
    leave(b);
    QCOMPARE(loans->lblpanel->text(), text == QStringLiteral("antes") ? text : QString());
}

void LoansChromeTest::hoverFromSearchToHelp()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    // Moving the real mouse across the bar: search button, then help button.
    QTest::mouseMove(loans->cmdSeleciona);
    QTRY_COMPARE(loans->lblpanel->text(), QStringLiteral("Pesquisar..."));
    QTest::mouseMove(loans->ctbajuda);
    QTRY_COMPARE(loans->lblpanel->text(), QStringLiteral("Ajuda"));
}

void LoansChromeTest::homeLink()
{
    OPEN_LOANS(standardObjects(), standardLoans());
    QCOMPARE(loans->cmdHome->caption(), ondrel::chrome::makerName());

    enter(loans->cmdHome);
    QCOMPARE(loans->lblpanel->text(), ondrel::chrome::homePage());
    QCOMPARE(loans->cursor().shape(), Qt::BitmapCursor);
    QTest::mouseClick(loans->cmdHome, Qt::LeftButton);
    QCOMPARE(folder.services.opened, QStringList{ondrel::chrome::homePage()});
    QCOMPARE(loans->lblpanel->text(), QString());
    // The pointing hand stays while the mouse is on the button.
    QCOMPARE(loans->cursor().shape(), Qt::BitmapCursor);
    leave(loans->cmdHome);
    QCOMPARE(loans->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(folder.services.messageBoxes.isEmpty());
}

void LoansChromeTest::helpAndAbout()
{
    OPEN_LOANS(standardObjects(), standardLoans());

    loans->lblpanel->setText(QStringLiteral("Ajuda"));
    QTest::mouseClick(loans->ctbajuda, Qt::LeftButton);
    QCOMPARE(loans->lblpanel->text(), QString());
    QCOMPARE(folder.services.keysSent, QStringList{"{f1}"});

    loans->lblpanel->setText(QStringLiteral("fica"));
    loans->mnuhelp->trigger();
    QCOMPARE(folder.services.keysSent, (QStringList{"{f1}", "{f1}"}));
    QCOMPARE(loans->lblpanel->text(), QStringLiteral("fica"));

    loans->mnusobre->trigger();  // no handler: nothing at all
    QCOMPARE(folder.services.keysSent.size(), 2);
    QVERIFY(folder.services.messageBoxes.isEmpty());
    QVERIFY(folder.services.opened.isEmpty());
    QCOMPARE(loans->lblpanel->text(), QStringLiteral("fica"));
    QVERIFY(!ondrel::chrome::HelpViewer::current());
}

void LoansChromeTest::f1OpensTheHelpFile()
{
    Folder folder(standardObjects(), standardLoans());
    {
        QFile help(folder.dir.filePath(QStringLiteral("Ulmix.hlp")));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("Empréstimos: quem levou cada objeto.");
    }
    // The help file of this plug-in folder, as the catalogue registers it.
    ondrel::chrome::registerHelpFile();
    Frmemprestimos* loans = openLoans();
    QVERIFY(loans);
    loans->Txtnome->setFocus();
    QTest::keyClick(loans->Txtnome, Qt::Key_F1);
    ondrel::chrome::HelpViewer* viewer = ondrel::chrome::HelpViewer::current();
    QVERIFY(viewer);
    QCOMPARE(viewer->browser()->toPlainText(), QStringLiteral("Empréstimos: quem levou cada objeto."));
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_MAIN(LoansChromeTest)
#include "chrome_test.moc"
