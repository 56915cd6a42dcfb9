#include "commandline.h"

#include <algorithm>

namespace ondrel::app {

namespace {

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
constexpr int kWidth = 79;
constexpr int kHelpColumn = 30;

QString dashed(const QString& name)
{
    return QStringLiteral("--") + name;
}

// Words of text laid into lines of at most kWidth columns, each after indent.
QString wrapped(const QString& text, int firstColumn, int indent)
{
    QString out;
    int column = firstColumn;
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    bool lineStart = true;
    for (const QString& word : words) {
        if (!lineStart && column + 1 + word.size() > kWidth) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            out += u' ';
            ++column;
        }
        out += word;
        column += int(word.size());
        lineStart = false;
    }
    return out;
}

QString listed(const QStringList& items)
{
    if (items.size() <= 1)
        return items.value(0);
    return QStringList(items.mid(0, items.size() - 1)).join(QStringLiteral(", ")) + QStringLiteral(" ou ")
           + items.last();
}

}  // namespace

CommandLine::CommandLine(QString programName, QString description, std::vector<Option> options, QString mainWork)
    : m_program(std::move(programName)),
      m_description(std::move(description)),
      m_options(std::move(options)),
      m_mainWork(std::move(mainWork))
{
    m_options.push_back({kHelp, {}, QStringLiteral("Mostra esta ajuda e termina."), true, {}, {}, {}});
    m_options.push_back({kVersion, {}, QStringLiteral("Mostra a versão e termina."), true, {}, {}, {}});
}

const Option* CommandLine::find(const QString& name) const
{
    const auto it = std::find_if(m_options.begin(), m_options.end(), [&](const Option& o) { return o.name == name; });
    return it == m_options.end() ? nullptr : &*it;
}

QString CommandLine::describeGoesWith(const Option& option) const
{
    QStringList with;
    for (const QString& command : option.goesWith)
        with.append(command == QLatin1String(kServing) ? m_mainWork + QStringLiteral(" (sem comando)")
                                                      : dashed(command));
    return listed(with);
}

std::optional<Invocation> CommandLine::parse(const QStringList& arguments)
{
    m_error.clear();
    Invocation run;
    bool optionsEnded = false;
    bool hasArgument = false;
    QStringList given;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            if (hasArgument) {
                m_error = QStringLiteral("argumento a mais: \"%1\".").arg(argument);
                return std::nullopt;
            }
            run.argument = argument;
            hasArgument = true;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name;
        std::optional<QString> inlineValue;
        if (argument == QLatin1String("-h")) {
            name = kHelp;
        } else if (argument.startsWith(QLatin1String("--"))) {
            name = argument.mid(2);
            const qsizetype equals = name.indexOf(u'=');
            if (equals >= 0) {
                inlineValue = name.mid(equals + 1);
                name.truncate(equals);
            }
        } else {
            m_error = QStringLiteral("opção desconhecida: \"%1\".").arg(argument);
            return std::nullopt;
        }
        const Option* option = find(name);
        if (!option) {
            m_error = QStringLiteral("opção desconhecida: \"%1\".").arg(inlineValue ? dashed(name) : argument);
            return std::nullopt;
        }
        if (run.values.contains(name)) {
            m_error = QStringLiteral("a opção %1 foi dada mais de uma vez.").arg(dashed(name));
            return std::nullopt;
        }
        QString value;
        if (option->valueName.isEmpty()) {
            if (inlineValue) {
                m_error = QStringLiteral("a opção %1 não recebe valor.").arg(dashed(name));
                return std::nullopt;
            }
        } else if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < arguments.size() && !(arguments.at(i + 1).startsWith(QLatin1String("--")))) {
            value = arguments.at(++i);
        } else {
            m_error = QStringLiteral("falta o valor de %1 (%2).").arg(dashed(name), option->valueName);
            return std::nullopt;
        }
        if (!option->valueName.isEmpty() && value.isEmpty()) {
            m_error = QStringLiteral("o valor de %1 (%2) está vazio.").arg(dashed(name), option->valueName);
            return std::nullopt;
        }
        if (option->check) {
            const QString why = option->check(value);
            if (!why.isEmpty()) {
                m_error = QStringLiteral("valor inválido para %1: \"%2\". %3")
                              .arg(dashed(name), option->shown ? option->shown(value) : value, why);
                return std::nullopt;
            }
        }
        if (option->command) {
            if (!run.command.isEmpty()) {
                m_error = QStringLiteral("%1 e %2 são comandos diferentes; use um de cada vez.")
                              .arg(dashed(run.command), dashed(name));
                return std::nullopt;
            }
            run.command = name;
        }
        run.values.insert(name, value);
        given.append(name);
    }
    // --help and --version answer whatever else was given.
    if (run.command == kHelp || run.command == kVersion)
        return run;
    for (const QString& name : given) {
        const Option* option = find(name);
        if (option->command)
            continue;
        const QString command = run.command.isEmpty() ? QString::fromLatin1(kServing) : run.command;
        if (!option->goesWith.contains(command)) {
            m_error = QStringLiteral("a opção %1 só vale para %2.").arg(dashed(name), describeGoesWith(*option));
            return std::nullopt;
        }
    }
    if (hasArgument) {
        const Option* command = run.command.isEmpty() ? nullptr : find(run.command);
        if (!command || command->argumentName.isEmpty()) {
            m_error = QStringLiteral("argumento a mais: \"%1\".").arg(run.argument);
            return std::nullopt;
        }
    }
    return run;
}

QString CommandLine::refusal() const
{
    return QStringLiteral("%1: %2\nPara ver as opções: %1 --help\n").arg(m_program, m_error);
}

QString CommandLine::helpText() const
{
    QString text = QStringLiteral("Uso: %1 [COMANDO] [OPÇÕES]\n\n").arg(m_program);
    for (const QString& paragraph : m_description.split(QStringLiteral("\n\n")))
        text += wrapped(paragraph, 0, 0) + QStringLiteral("\n\n");
    auto section = [&](const QString& heading, bool commands) {
        text += heading + u'\n';
        for (const Option& option : m_options) {
            if (option.command != commands)
                continue;
            QString left = QStringLiteral("  ") + (option.name == kHelp ? QStringLiteral("-h, ") : QString())
                           + dashed(option.name);
            if (!option.valueName.isEmpty())
                left += u' ' + option.valueName;
            if (!option.argumentName.isEmpty())
                left += QStringLiteral(" [%1]").arg(option.argumentName);
            QString help = option.help;
            if (!commands)
                help += QStringLiteral(" Vale para %1.").arg(describeGoesWith(option));
            if (left.size() + 2 > kHelpColumn)
                text += left + u'\n' + QString(kHelpColumn, u' ');
            else
                text += left.leftJustified(kHelpColumn);
            text += wrapped(help, kHelpColumn, kHelpColumn) + u'\n';
        }
        text += u'\n';
    };
    section(QStringLiteral("Comandos (um de cada vez):"), true);
    section(QStringLiteral("Opções:"), false);
    text.chop(1);
    return text;
}

QString CommandLine::versionText(const QString& version) const
{
    return QStringLiteral("%1 (Ulmix) %2\n").arg(m_program, version);
}

std::function<QString(const QString&)> secondsBetween(int low, int high)
{
    return [low, high](const QString& value) {
        bool ok = false;
        const long long seconds = value.toLongLong(&ok);
        if (ok && seconds >= low && seconds <= high)
            return QString();
        return QStringLiteral("Dê um número inteiro de segundos de %1 a %2.").arg(low).arg(high);
    };
}

void keepQtMessagesOffTheTerminal()
{
    if (qEnvironmentVariableIntValue("ONDREL_QT_MESSAGES") > 0)
        return;
    static QtMessageHandler qtOwn = nullptr;
    qtOwn = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtFatalMsg && qtOwn)
            qtOwn(type, context, message);
    });
}

}  // namespace ondrel::app
