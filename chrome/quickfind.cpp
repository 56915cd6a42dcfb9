#include "quickfind.h"

#include "binding/datacontrol.h"
#include "database/database.h"
#include "platform/services.h"

#include <stdexcept>

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

    db::Recordset* rs = source.recordset();
    if (!rs)
        throw std::runtime_error("Variável de objeto ou variável do bloco With não definida");
    rs->findFirst(texts.Criterio);
    if (rs->noMatch()) {
        services().msgBox(notFoundMessage(), platform::OkOnly, platform::Exclamation);
        // An empty list has no first record to go to.
        if (rs->keyCount() > 0)
            rs->moveFirst();
    }
}

}  // namespace ondrel::chrome
