#include "quickfind.h"

#include "binding/datacontrol.h"
#include "database/database.h"
#include "forms/guard.h"
#include "platform/services.h"

namespace ondrel::chrome {

QuickFindTexts& quickFindTexts()
{
    static QuickFindTexts texts;
    return texts;
}

QString quickFindTitle()
{
    return QStringLiteral("Procura o Título");
}

QString notFoundMessage()
{
    return QStringLiteral("Objeto Não Encontrado");
}

void quickFindByTitle(db::DataControl& source, const QString& prompt)
{
    using platform::services;
    QuickFindTexts& texts = quickFindTexts();
    texts.Mensagem = prompt;
    texts.Titulo = services().inputBox(texts.Mensagem, quickFindTitle());
    texts.Criterio = titleCriteria(texts.Titulo);

    db::Recordset* rs = &platform::use(source.recordset());
    rs->findFirst(texts.Criterio);
    if (rs->noMatch()) {
        services().msgBox(notFoundMessage(), platform::OkOnly, platform::Exclamation);
        // An empty list has no first record to go to.
        if (rs->keyCount() > 0)
            rs->moveFirst();
    }
}

}  // namespace ondrel::chrome
