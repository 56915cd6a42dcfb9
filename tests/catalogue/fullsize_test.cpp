// Keystrokes in the code box on a full-sized catalogue: every key rewrites
// the stored query "pesquisa" and re-reads the loans behind the loan boxes,
// and the counter goes past 32,767. Their timing is in bench/.
#include "binding/datacontrol.h"
#include "catalogue/Frmobjetos.h"
#include "collection/collection.h"
#include "database/database.h"
#include "folder_testutil.h"
#include "widgets/picturebutton.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace ondrel::catalogue;

class CatalogueFullsizeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void keystrokeInCodeBox();

private:
    std::unique_ptr<testutil::PluginFolder> m_folder;
};

void CatalogueFullsizeTest::initTestCase()
{
    m_folder = std::make_unique<testutil::PluginFolder>();
    QVERIFY(m_folder->dir.isValid());
    ondrel::db::generateBenchData(m_folder->path(), 32767, 100000);
}

void CatalogueFullsizeTest::cleanupTestCase()
{
    m_folder.reset();
}

void CatalogueFullsizeTest::keystrokeInCodeBox()
{
    Frmobjetos* form = testutil::shown<Frmobjetos>();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QCOMPARE(form->TotalRegistros, 32767);
    form->cmdNovo->click();
    QCOMPARE(form->lblCount->text(), QStringLiteral(" Registro : 0  de  32768"));

    // Codes of generated objects with loans, typed one key at a time; each
    // word is cleared again with Backspace, which is a keystroke as well.
    const QStringList codes = {QStringLiteral("B00A1Z"), QStringLiteral("B0ZZ01"), QStringLiteral("B00017"),
                               QStringLiteral("B0123X"), QStringLiteral("B00K00")};
    int lent = 0;  // full codes whose newest loan reached the loan boxes
    for (int round = 0; round < 4; ++round) {
        for (const QString& code : codes) {
            for (QChar c : code) {
                QTest::keyClick(form->Txtcod, c.toLatin1());
            }
            QCOMPARE(form->BancoDados->queryDefSql(QStringLiteral("pesquisa")),
                     QStringLiteral("select * from empréstimos where codobjeto = '%1'order by data desc").arg(code));
            if (!form->Label1->text().isEmpty())
                ++lent;
            for (int i = 0; i < code.size(); ++i) {
                QTest::keyClick(form->Txtcod, Qt::Key_Backspace);
            }
        }
    }
    QVERIFY(lent > 0);
    // The loan boxes followed the last code typed.
    QVERIFY(form->Txtcod->text().isEmpty());
    QVERIFY(form->Label1->text().isEmpty());
    QCOMPARE(form->Data2->recordSource(), QStringLiteral("pesquisa"));

}

QTEST_MAIN(CatalogueFullsizeTest)
#include "fullsize_test.moc"
