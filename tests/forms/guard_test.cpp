// The three failure styles of the handlers: guarded (report and go on),
// skipFailing (skip silently) and trapResume (call the handler, resume).

#include "database/engineerror.h"
#include "forms/guard.h"
#include "platform/testservices.h"

#include <QtTest>

#include <stdexcept>

using namespace ondrel::platform;
using ondrel::db::EngineError;

class GuardTest : public QObject {
    Q_OBJECT
private slots:
    void guardedShowsTheEngineDescriptionAndGoesOn()
    {
        RecordingServices rec;
        RecordingServices::Installed installed(rec);
        int after = 0;
        const bool ok = guarded([&] {
            throw EngineError(3021, QStringLiteral("Nenhum registro atual."));
            ++after;
        });
        QVERIFY(!ok);
        QCOMPARE(after, 0);
        QCOMPARE(rec.messageBoxes.size(), 1);
        QCOMPARE(rec.messageBoxes[0].text, QStringLiteral("Nenhum registro atual."));
        QCOMPARE(rec.messageBoxes[0].icon, int(Critical));
        QCOMPARE(rec.messageBoxes[0].buttons, int(OkOnly));
        QCOMPARE(rec.messageBoxes[0].title, QStringLiteral("Ulmix"));
    }

    void guardedIsSilentWhenNothingFails()
    {
        RecordingServices rec;
        RecordingServices::Installed installed(rec);
        int runs = 0;
        QVERIFY(guarded([&] { ++runs; }));
        QCOMPARE(runs, 1);
        QVERIFY(rec.messageBoxes.isEmpty());
    }

    void guardedDescribesEveryKindOfError_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("std::exception, accented UTF-8") << 0 << QStringLiteral("Não há memória: ção");
        QTest::newRow("not an exception class") << 1 << QStringLiteral("Erro desconhecido.");
    }
    void guardedDescribesEveryKindOfError()
    {
        QFETCH(int, kind);
        QFETCH(QString, expected);
        RecordingServices rec;
        RecordingServices::Installed installed(rec);
        guarded([&] {
            if (kind == 0)
                throw std::runtime_error("Não há memória: ção");
            throw 42;
        });
        QCOMPARE(rec.messageTexts(), QStringList{expected});
    }

    void guardedSurvivesAFailingBox()
    {
        // A box that itself fails must not let anything escape either.
        struct ThrowingBox : RecordingServices {
            int msgBox(const QString&, int, int, const QString&) override { throw std::runtime_error("x"); }
        } rec;
        RecordingServices::Installed installed(rec);
        QVERIFY(!guarded([] { throw std::runtime_error("a"); }));
    }

    void skipFailingRunsEveryStep()
    {
        RecordingServices rec;
        RecordingServices::Installed installed(rec);
        QStringList ran;
        const auto last = skipFailing({
            [&] { ran << "1"; },
            [&] { throw EngineError(3024, QStringLiteral("arquivo não encontrado")); },
            [&] { ran << "3"; },
            [&] { throw EngineError(3022, QStringLiteral("duplicado")); },
            [&] { ran << "5"; },
        });
        QCOMPARE(ran, (QStringList{"1", "3", "5"}));
        QVERIFY(last.has_value());
        QCOMPARE(last->number, 3022);  // the last failure, as the error object would hold
        QCOMPARE(last->description, QStringLiteral("duplicado"));
        QVERIFY(rec.messageBoxes.isEmpty());  // silently
        QCOMPARE(rec.beeps, 0);
    }

    void skipFailingWithoutFailures()
    {
        int n = 0;
        QVERIFY(!skipFailing({[&] { ++n; }, [&] { ++n; }}).has_value());
        QCOMPARE(n, 2);
    }

    void trapResumeCallsTheHandlerPerFailureAndResumes()
    {
        QStringList log;
        trapResume(
            [&](const Failure& f) { log << QStringLiteral("erro %1").arg(f.number); },
            {
                [&] { log << "a"; },
                [&] { throw EngineError(3022, QStringLiteral("duplicado")); },
                [&] { log << "b"; },
                [&] { throw std::runtime_error("outro"); },
                [&] { log << "c"; },
            });
        QCOMPARE(log, (QStringList{"a", "erro 3022", "b", "erro 0", "c"}));
    }

    void trapResumeLetsAFailingHandlerEscape()
    {
        // An error inside the error handler is not trapped again.
        int after = 0;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 trapResume([](const Failure&) { throw std::runtime_error("no handler"); },
                                            {[] { throw std::runtime_error("first"); }, [&] { ++after; }}));
        QCOMPARE(after, 0);
    }

    void installedRestoresThePreviousServices()
    {
        Services* before = &services();
        {
            RecordingServices outer;
            RecordingServices::Installed a(outer);
            {
                RecordingServices inner;
                RecordingServices::Installed b(inner);
                QCOMPARE(&services(), static_cast<Services*>(&inner));
            }
            QCOMPARE(&services(), static_cast<Services*>(&outer));
        }
        QCOMPARE(&services(), before);
    }
};

QTEST_MAIN(GuardTest)
#include "guard_test.moc"
