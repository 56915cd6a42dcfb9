#pragma once

// The command line of our executables (`ondrel`, `ondrel-host`): which
// options there are, what each one takes and goes with, and every text the
// command line shows — the help, the version and the refusal of a wrong
// use — in Portuguese.
//
// A run does at most one command (an option such as --backup); the other
// options modify a command and name the commands they go with. A run
// without a command does the program's main work (`ondrel` serves the
// plug-in to its host, `ondrel-host` opens its window).

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace ondrel::app {

// What "going with a command" means for the run without one.
inline constexpr const char* kServing = "";

struct Option {
    QString name;               // without the leading "--"
    QString valueName;          // as shown in the help; empty: the option takes no value
    QString help;               // one sentence or a few, in Portuguese
    bool command = false;       // a command; otherwise a modifier
    QStringList goesWith;       // a modifier: the commands it modifies (kServing: the run without one)
    QString argumentName;       // a command: the name of its one optional argument, if it takes one
    // Checks a given value; returns why it is refused (Portuguese) or nothing.
    std::function<QString(const QString& value)> check;
    // How a refusal shows a given value (a secret left out); as given when
    // empty.
    std::function<QString(const QString& value)> shown = {};
};

struct Invocation {
    QString command;             // empty: serving
    QHash<QString, QString> values;  // every option given, with its value ("" for a flag)
    QString argument;            // the command's optional argument

    bool has(const QString& option) const { return values.contains(option); }
    QString value(const QString& option) const { return values.value(option); }
};

class CommandLine {
public:
    // programName: the name the program was started by, shown in every text;
    // mainWork: what a run without a command does, as the help names it.
    CommandLine(QString programName, QString description, std::vector<Option> options,
                QString mainWork = QStringLiteral("o atendimento ao hospedeiro"));

    // The arguments after the program's name. Returns the invocation, or
    // nothing with error() saying what is wrong. --help and --version are
    // commands of their own ("help", "version").
    std::optional<Invocation> parse(const QStringList& arguments);

    QString error() const { return m_error; }
    // What a wrong use prints on standard error: the error and where to look.
    QString refusal() const;
    QString helpText() const;
    QString versionText(const QString& version) const;

    static constexpr int kWrongUse = 2;

private:
    const Option* find(const QString& name) const;
    QString describeGoesWith(const Option& option) const;

    QString m_program;
    QString m_description;
    std::vector<Option> m_options;
    QString m_mainWork;
    QString m_error;
};

// A check for an option that takes a whole number of seconds in [low, high].
std::function<QString(const QString&)> secondsBetween(int low, int high);

// Qt's own diagnostics ("QStandardPaths: XDG_RUNTIME_DIR not set…") are
// English and meant for developers: from here on they stay off the terminal
// unless ONDREL_QT_MESSAGES=1 is set. A fatal one still ends the program.
void keepQtMessagesOffTheTerminal();

}  // namespace ondrel::app
