// Demo and benchmark contents of a collection database.
#include "collection.h"
#include "duedates.h"

#include "core/values.h"
#include "database/connection.h"
#include "database/database.h"
#include "database/record.h"
#include "database/schema.h"

#include <QDate>
#include <QRandomGenerator>

namespace ondrel::db {

namespace {

struct DemoObject {
    const char* cod;
    const char* kind;
    const char* title;
    const char* author;
    const char* subject;
    const char* description;
    const char* date;  // dd/mm/yyyy
    const char* value; // as typed, pt_BR
};

struct DemoLoan {
    const char* cod;
    const char* name;
    const char* date;
    const char* returned;  // "Sim" / "Não"
    const char* remarks;
    const char* due = "";  // "Devolver até"; most demo loans were made before it
};

const DemoObject kObjects[] = {
    {"L001", "Livro", "Dom Casmurro", "Machado de Assis", "Romance", "Edição de bolso, capa um pouco gasta.", "12/03/2001", "25,90"},
    {"L002", "Livro", "Memórias Póstumas de Brás Cubas", "Machado de Assis", "Romance", "Exemplar com dedicatória.", "12/03/2001", "32,00"},
    {"L003", "Livro", "Grande Sertão: Veredas", "João Guimarães Rosa", "Romance", "Capa dura, 1ª edição da Nova Fronteira.", "05/07/2001", "89,50"},
    {"L004", "Livro", "Vidas Secas", "Graciliano Ramos", "Romance", "", "20/08/2001", "18,00"},
    {"L005", "Livro", "A Hora da Estrela", "Clarice Lispector", "Romance", "Marcações a lápis nas margens.", "02/02/2002", "22,40"},
    {"L006", "Livro", "O Cortiço", "Aluísio Azevedo", "Romance", "", "14/04/2002", "15,00"},
    {"L007", "Livro", "Casa-Grande & Senzala", "Gilberto Freyre", "Sociologia", "Volume único, 48ª edição.", "30/05/2002", "64,00"},
    {"L008", "Livro", "Raízes do Brasil", "Sérgio Buarque de Holanda", "História", "", "30/05/2002", "39,90"},
    {"L009", "Livro", "Capitães da Areia", "Jorge Amado", "Romance", "Presente da tia Cida.", "11/09/2002", "27,50"},
    {"L010", "Livro", "Ensaio sobre a Cegueira", "José Saramago", "Romance", "", "03/01/2003", "45,00"},
    {"R001", "Revista", "Superinteressante nº 184", "Editora Abril", "Ciência", "Especial sobre o universo.", "15/01/2003", "8,50"},
    {"R002", "Revista", "Quatro Rodas - Janeiro 2003", "Editora Abril", "Automóveis", "", "15/01/2003", "9,90"},
    {"D001", "Disco (Vinil)", "Acabou Chorare", "Novos Baianos", "MPB", "LP original de 1972, capa dupla.", "08/06/2001", "120,00"},
    {"D002", "Disco (Vinil)", "Elis & Tom", "Elis Regina e Tom Jobim", "MPB", "Riscos leves no lado B.", "08/06/2001", "95,00"},
    {"D003", "Disco (CD)", "Clube da Esquina", "Milton Nascimento e Lô Borges", "MPB", "", "19/10/2001", "29,90"},
    {"D004", "Disco (CD)", "Construção", "Chico Buarque", "MPB", "Remasterizado.", "19/10/2001", "24,90"},
    {"D005", "Disco (CD)", "Da Lama ao Caos", "Chico Science & Nação Zumbi", "Manguebeat", "", "25/11/2002", "21,00"},
    {"F001", "DVD", "Central do Brasil", "Walter Salles", "Drama", "Edição especial com extras.", "17/02/2002", "34,90"},
    {"F002", "DVD", "Cidade de Deus", "Fernando Meirelles", "Drama", "", "17/02/2003", "39,90"},
    {"F003", "Fita Vídeo", "O Pagador de Promessas", "Anselmo Duarte", "Drama", "VHS gravado da TV.", "09/09/1999", "5,00"},
    {"F004", "DVD", "Auto da Compadecida", "Guel Arraes", "Comédia", "", "22/03/2003", "29,90"},
    {"A001", "Fita Áudio", "Aulas de violão - volume 1", "Curso Musical Paulista", "Música", "Fita cassete com apostila.", "10/10/2000", "12,00"},
    {"G001", "Game", "Winning Eleven 6", "Konami", "Futebol", "Para PlayStation 2.", "24/12/2002", "149,00"},
    {"C001", "CD-Rom", "Enciclopédia Barsa 2002", "Barsa Planeta", "Referência", "Dois discos.", "05/05/2002", "79,00"},
    {"M001", "Manuscrito", "Cartas do vovô Antônio", "Antônio Ferreira", "Família", "Cartas de 1952 a 1961, em pasta plástica.", "01/01/2000", ""},
    {"DOC01", "Documento", "Escritura do sítio em Atibaia", "Cartório de Atibaia", "Imóveis", "Cópia autenticada.", "14/02/2000", ""},
    {"T001", "Ferramenta", "Furadeira de impacto 1/2\"", "Bosch", "Marcenaria", "Com maleta e jogo de brocas.", "18/03/2002", "289,00"},
    {"T002", "Ferramenta", "Jogo de chaves de fenda", "Tramontina", "Reparos", "Doze peças.", "18/03/2002", "45,50"},
    {"T003", "Ferramenta", "Escada de alumínio 7 degraus", "Mor", "Reparos", "", "02/08/2002", "159,90"},
    {"T004", "Ferramenta", "Serra tico-tico", "Black & Decker", "Marcenaria", "", "02/08/2002", "199,00"},
    {"I001", "Instrumento", "Violão Di Giorgio", "Di Giorgio", "Música", "Cordas de náilon trocadas em 2002.", "30/06/1998", "450,00"},
    {"I002", "Instrumento", "Pandeiro de couro", "Contemporânea", "Música", "", "13/02/2002", "85,00"},
    {"X001", "Decoração", "Quadro de Aldemir Martins (reprodução)", "Aldemir Martins", "Arte", "Gato amarelo, moldura de madeira.", "07/07/2001", "210,00"},
    {"X002", "Móveis&Utens.", "Cadeira de balanço", "Marcenaria São José", "Móveis", "Palhinha restaurada.", "07/07/2001", "380,00"},
    {"X003", "Móveis&Utens.", "Panela de barro capixaba", "Paneleiras de Goiabeiras", "Cozinha", "", "21/04/2002", "60,00"},
    {"V001", "Veículo", "Bicicleta Caloi 10", "Caloi", "Lazer", "Vermelha, revisada.", "15/11/1995", "350,00"},
    {"O001", "Outros", "Barraca de camping 4 pessoas", "Nautika", "Lazer", "Falta uma estaca.", "10/12/2002", "239,00"},
};

const DemoLoan kLoans[] = {
    {"L001", "Maria Aparecida Souza", "10/01/2003", "Sim", "Devolvido em 02/02/2003."},
    {"L001", "Carlos Eduardo Lima", "20/02/2003", "Não", ""},
    {"L003", "Ana Paula Ferreira", "05/11/2002", "Sim", "Devolvido em 30/12/2002."},
    {"L005", "Juliana Costa", "14/03/2003", "Não", "Prometeu devolver em abril.", "30/04/2003"},
    {"L009", "Pedro Henrique Alves", "01/09/2002", "Sim", "Devolvido em 15/09/2002."},
    {"L009", "Fernanda Oliveira", "16/09/2002", "Sim", "Devolvido em 10/10/2002."},
    {"D001", "Roberto Carlos Mendes", "22/12/2002", "Não", "Cuidado: disco raro."},
    {"D004", "Luciana Ribeiro", "03/03/2003", "Sim", "Devolvido em 10/03/2003."},
    {"F001", "Marcos Vinícius Rocha", "15/02/2003", "Não", ""},
    {"F002", "Patrícia Gomes", "01/03/2003", "Sim", "Devolvido em 05/03/2003."},
    {"F004", "José Antônio Pereira", "25/03/2003", "Não", ""},
    {"G001", "Lucas Martins", "05/01/2003", "Sim", "Devolvido em 20/01/2003."},
    {"T001", "Sebastião Nunes", "10/02/2003", "Sim", "Devolvido em 12/02/2003."},
    {"T001", "Sebastião Nunes", "08/03/2003", "Não", "Para a reforma da cozinha."},
    {"T003", "Rita de Cássia Barbosa", "28/02/2003", "Sim", "Devolvido em 01/03/2003."},
    {"T004", "André Luiz Carvalho", "18/03/2003", "Não", ""},
    {"I001", "Camila Araújo", "10/12/2002", "Sim", "Devolvido em 06/01/2003."},
    {"V001", "Thiago Santos", "02/03/2003", "Não", "Levou para Ubatuba.", "02/04/2003"},
    {"O001", "Família Moreira", "27/12/2002", "Sim", "Devolvido em 03/01/2003."},
    {"X003", "Dona Lourdes", "12/03/2003", "Não", ""},
};

QVariant typed(const FieldInfo& field, const char* text)
{
    const QString value = QString::fromUtf8(text);
    if (field.type != FieldType::Currency)
        return convertInput(field, value);
    // The amounts above are Brazilian, whatever the machine's own settings.
    bool ok = false;
    const std::optional<qint64> units = parseAmount(value, QLocale(QLocale::Portuguese, QLocale::Brazil), &ok);
    return units ? QVariant(*units) : QVariant();
}

QVector<int> allFields(const TableInfo& table, bool withCounter)
{
    QVector<int> fields;
    for (int i = 0; i < table.fields.size(); ++i)
        if (withCounter || table.fields[i].type != FieldType::Counter)
            fields.append(i);
    return fields;
}

}  // namespace

void fillDemo(const QString& path, const QString& password)
{
    auto db = Database::open(path, QStringLiteral(";pwd=") + password);
    Connection& c = db->connection();
    const TableInfo& objects = *db->schema().table(QStringLiteral("objetos"));
    const TableInfo& loans = *db->schema().table(QStringLiteral("empréstimos"));
    const QVector<int> objectFields = allFields(objects, false);
    const QVector<int> loanFields = allFields(loans, false);
    Transaction tx(c);
    for (const DemoObject& o : kObjects) {
        const char* texts[] = {o.cod, o.kind, o.title, o.author, o.subject, o.description, o.date, o.value, ""};
        QVector<QVariant> values;
        for (int i = 0; i < objectFields.size(); ++i)
            values.append(typed(objects.fields[objectFields[i]], texts[i]));
        insertRecord(c, objects, objectFields, values);
    }
    for (const DemoLoan& l : kLoans) {
        const DemoObject* object = nullptr;
        for (const DemoObject& o : kObjects)
            if (qstrcmp(o.cod, l.cod) == 0)
                object = &o;
        const char* texts[] = {l.cod, l.name, object->kind, object->title, object->author, l.date, l.returned,
                               l.remarks, l.due};
        QVector<QVariant> values;
        for (int i = 0; i < loanFields.size(); ++i)
            values.append(typed(loans.fields[loanFields[i]], texts[i]));
        insertRecord(c, loans, loanFields, values);
    }
    tx.commit();
}

void generateBenchData(const QString& path, int objectCount, int loanCount)
{
    Database::create(path, QString::fromLatin1(kPassword));
    auto db = Database::open(path, QString::fromLatin1(kConnectString));
    Connection& c = db->connection();
    const TableInfo& objects = *db->schema().table(QStringLiteral("objetos"));
    const TableInfo& loans = *db->schema().table(QStringLiteral("empréstimos"));
    const QVector<int> objectFields = allFields(objects, false);
    const QVector<int> loanFields = allFields(loans, false);
    static const char* kinds[] = {"Livro", "Revista", "Disco (CD)", "DVD", "Ferramenta", "Móveis&Utens."};
    static const char* words[] = {"Sertão", "Mar", "Cidade", "Noite", "Café", "Canção", "Estrela", "Rio",
                                  "Ação", "Árvore", "Viagem", "Sol", "Memória", "Jardim", "Ponte", "Vento"};
    static const char* people[] = {"Ana Souza", "João Silva", "Márcia Lima", "José Pereira", "Luíza Costa",
                                   "Pedro Alves", "Cláudia Rocha", "Antônio Gomes"};
    QRandomGenerator random(20030305);
    const QDate start(1995, 1, 1);
    Transaction tx(c);
    for (int i = 0; i < objectCount; ++i) {
        const QString title = QString::fromUtf8(words[random.bounded(16)]) + u' '
            + QString::fromUtf8(words[random.bounded(16)]) + u' ' + QString::number(i);
        const QVector<QVariant> values{QStringLiteral("B%1").arg(i, 5, 36, QChar(u'0')).toUpper(),
                                       QString::fromUtf8(kinds[i % 6]),
                                       title,
                                       QString::fromUtf8(people[random.bounded(8)]),
                                       QString::fromUtf8(words[random.bounded(16)]),
                                       QStringLiteral("Objeto gerado número %1.").arg(i),
                                       start.addDays(random.bounded(3000)),
                                       QVariant(qint64(random.bounded(1, 5000000))),
                                       QVariant()};
        insertRecord(c, objects, objectFields, values);
    }
    for (int i = 0; i < loanCount; ++i) {
        const int object = random.bounded(objectCount);
        QVector<QVariant> values{QStringLiteral("B%1").arg(object, 5, 36, QChar(u'0')).toUpper(),
                                       QString::fromUtf8(people[random.bounded(8)]),
                                       QString::fromUtf8(kinds[object % 6]),
                                       QStringLiteral("Título %1").arg(object),
                                       QString::fromUtf8(people[random.bounded(8)]),
                                       start.addDays(random.bounded(3000)),
                                       random.bounded(4) ? QStringLiteral("Sim") : QStringLiteral("Não"),
                                       QVariant(),
                                       QVariant()};
        // Half the loans have a due date; the others are due by the period.
        if (i % 2 == 0)
            values[8] = values[5].toDate().addDays(kDefaultLoanPeriod);
        insertRecord(c, loans, loanFields, values);
    }
    tx.commit();
}

}  // namespace ondrel::db
