#include "busfailures.h"

namespace ondrel::bus {

namespace {

QString capitalised(QString sentence)
{
    if (!sentence.isEmpty())
        sentence[0] = sentence[0].toUpper();
    return sentence;
}

}  // namespace

QString noSessionBus()
{
    return QStringLiteral("Não há barramento de sessão (D-Bus): é a sessão do desktop que o oferece; num terminal sem "
                          "ela, use dbus-run-session.");
}

QString callFailure(const QDBusError& error, const QString& callee)
{
    if (error.name().startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn.")))
        return QStringLiteral("O barramento de sessão não conseguiu iniciar %1: o programa que o seu arquivo de "
                              "ativação indica não existe ou terminou com erro.")
            .arg(callee);
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return capitalised(
            QStringLiteral("%1 não está no barramento de sessão: nenhum programa atende pelo seu nome.").arg(callee));
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return capitalised(QStringLiteral("%1 não respondeu a tempo.").arg(callee));
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::NoNetwork:
    case QDBusError::BadAddress:
        return noSessionBus();
    case QDBusError::AccessDenied:
        return QStringLiteral("O barramento de sessão não permitiu chamar %1.").arg(callee);
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownProperty:
    case QDBusError::InvalidArgs:
    case QDBusError::InvalidSignature:
        return capitalised(QStringLiteral("%1 não entendeu o pedido: quem atende pelo seu nome não é o programa "
                                          "esperado, ou é de outra versão.")
                               .arg(callee));
    default:
        return QStringLiteral("Não foi possível chamar %1 pelo barramento de sessão.").arg(callee);
    }
}

}  // namespace ondrel::bus
