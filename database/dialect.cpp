#include "dialect.h"

#include "engineerror.h"
#include "statement.h"
#include "core/values.h"

namespace ondrel::db {

namespace {

enum class Tok { Name, String, Number, Symbol, End };

struct Token {
    Tok kind = Tok::End;
    QString text;  // names unquoted, strings with '' collapsed
    qsizetype at = 0;
};

[[noreturn]] void syntaxError(const QString& text, const QString& detail)
{
    // A text of many pages is named by its beginning.
    const QString shown = text.size() > 120 ? text.left(120) + QStringLiteral("…") : text;
    throw EngineError(ErrSyntax,
                      QStringLiteral("Erro de sintaxe na expressão '%1': %2.").arg(shown, detail));
}

QVector<Token> tokenize(const QString& s)
{
    QVector<Token> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto isNameStart = [](QChar c) { return c.isLetter() || c == u'_'; };
    auto isNameChar = [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c.category() == QChar::Mark_NonSpacing; };
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        t.at = i;
        if (c == u'\'') {
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        value.append(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value.append(s[i++]);
            }
            if (!closed)
                syntaxError(s, QStringLiteral("texto sem o apóstrofo final"));
            t.kind = Tok::String;
            t.text = value;
        } else if (c == u'[') {
            const qsizetype end = s.indexOf(u']', i + 1);
            if (end < 0)
                syntaxError(s, QStringLiteral("nome sem o colchete final"));
            t.kind = Tok::Name;
            t.text = s.mid(i + 1, end - i - 1);
            i = end + 1;
        } else if (isNameStart(c)) {
            const qsizetype start = i;
            while (i < n && isNameChar(s[i]))
                ++i;
            t.kind = Tok::Name;
            t.text = s.mid(start, i - start);
        } else if (c.isDigit()) {
            const qsizetype start = i;
            while (i < n && (s[i].isDigit() || s[i] == u'.'))
                ++i;
            t.kind = Tok::Number;
            t.text = s.mid(start, i - start);
        } else {
            t.kind = Tok::Symbol;
            const QString two = s.mid(i, 2);
            if (two == u"<>" || two == u"<=" || two == u">=") {
                t.text = two;
                i += 2;
            } else if (QStringLiteral("*,=<>();").contains(c)) {
                t.text = c;
                ++i;
            } else {
                syntaxError(s, QStringLiteral("caractere inesperado '%1'").arg(c));
            }
        }
        out.append(t);
    }
    Token end;
    end.at = n;
    out.append(end);
    return out;
}

class Parser {
public:
    Parser(const QString& text) : m_text(text), m_tokens(tokenize(text)) {}

    SelectPlan select(const Schema& schema)
    {
        expectKeyword("select");
        QStringList names;
        bool all = false;
        if (acceptSymbol("*")) {
            all = true;
        } else {
            do
                names.append(name("um nome de campo"));
            while (acceptSymbol(","));
        }
        expectKeyword("from");
        const QString tableName = name("um nome de tabela");
        const TableInfo* table = schema.table(tableName);
        if (!table)
            throw EngineError(ErrNoSuchObject,
                              QStringLiteral("O mecanismo de banco de dados não pôde encontrar a tabela ou consulta "
                                             "de entrada '%1'.").arg(tableName));
        m_table = table;
        SelectPlan plan = tablePlan(*table);
        if (!all) {
            plan.fields.clear();
            for (const QString& f : names)
                plan.fields.append(fieldIndex(f));
        }
        if (acceptKeyword("where"))
            plan.where = expression();
        if (acceptKeyword("order")) {
            expectKeyword("by");
            QByteArray order;
            bool lastDesc = false;
            int keys = 0;
            const FieldInfo* first = nullptr;
            do {
                const QString word = name("um nome de campo");
                QByteArray key;
                const FieldInfo* f = nullptr;
                if (acceptSymbol("(")) {
                    // A text sorts as a field's does: case and accents ignored.
                    const Value value = function(word);
                    key = value.folded.isEmpty() ? value.sql : value.folded;
                } else {
                    f = &m_table->fields[fieldIndex(word)];
                    key = sortKey(*f);
                }
                lastDesc = false;
                if (acceptKeyword("desc"))
                    lastDesc = true;
                else
                    acceptKeyword("asc");
                if (!order.isEmpty())
                    order += ", ";
                order += m_table->flavor->orderTerm(key, lastDesc);
                if (!keys++)
                    first = f;
            } while (acceptSymbol(","));
            plan.orderBy = order + ", " + m_table->rowid() + (lastDesc ? " DESC" : " ASC");
            plan.descending = lastDesc;
            // An order by a function's value is sorted whole.
            const QByteArray key = first ? sortKey(*first) : QByteArray();
            plan.seekable = keys == 1 && first && first->sortIndexed && !key.startsWith("ondrel_");
            if (plan.seekable && first->type != FieldType::Counter)
                plan.seekKey = key;
        } else {
            plan.seekable = true;
        }
        finish();
        if (m_terms == 1 && !m_search.index.isEmpty() && plan.where.sql == m_search.sql) {
            plan.searchIndex = m_search.index;
            plan.searchMatch = m_search.match;
        }
        plan.usesKeys = m_usesKeys;
        return plan;
    }

    SqlExpr criteria(const TableInfo& table)
    {
        m_table = &table;
        SqlExpr e = expression();
        finish();
        return e;
    }

private:
    const Token& peek() const { return m_tokens[m_pos]; }
    Token next() { return m_tokens[m_pos < m_tokens.size() - 1 ? m_pos++ : m_pos]; }

    bool isKeyword(const Token& t, const char* word) const
    {
        return t.kind == Tok::Name && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool acceptKeyword(const char* word)
    {
        if (!isKeyword(peek(), word))
            return false;
        ++m_pos;
        return true;
    }
    void expectKeyword(const char* word)
    {
        if (!acceptKeyword(word))
            unexpected(QStringLiteral("esperava '%1'").arg(QLatin1String(word)));
    }
    bool acceptSymbol(const char* symbol)
    {
        if (peek().kind != Tok::Symbol || peek().text != QLatin1String(symbol))
            return false;
        ++m_pos;
        return true;
    }
    [[noreturn]] void unexpected(const QString& what) const
    {
        const Token& t = peek();
        syntaxError(m_text, t.kind == Tok::End ? what + QStringLiteral(" no fim do texto")
                                               : what + QStringLiteral(" em '%1'").arg(m_text.mid(t.at, 20)));
    }
    static bool reserved(const QString& word)
    {
        static const QStringList words{QStringLiteral("select"), QStringLiteral("from"), QStringLiteral("where"),
                                       QStringLiteral("and"),    QStringLiteral("or"),   QStringLiteral("not"),
                                       QStringLiteral("order"),  QStringLiteral("by"),   QStringLiteral("like"),
                                       QStringLiteral("asc"),    QStringLiteral("desc"), QStringLiteral("is"),
                                       QStringLiteral("null")};
        return words.contains(word, Qt::CaseInsensitive);
    }
    QString name(const QString& what)
    {
        const Token& t = peek();
        if (t.kind != Tok::Name || (reserved(t.text) && m_tokens[m_pos].text.size() && !isBracketed(t)))
            unexpected(QStringLiteral("esperava %1").arg(what));
        ++m_pos;
        return t.text;
    }
    bool isBracketed(const Token& t) const { return m_text.at(t.at) == u'['; }
    int fieldIndex(const QString& fieldName) const
    {
        const int index = m_table->indexOf(fieldName);
        if (index < 0)
            throw EngineError(ErrNoField, QStringLiteral("Item não encontrado nesta coleção: '%1'.").arg(fieldName));
        return index;
    }
    void finish()
    {
        acceptSymbol(";");
        if (peek().kind != Tok::End)
            unexpected(QStringLiteral("texto a mais"));
    }

    // What a field sorts and compares by: its folded key while the table's
    // keys match its rows, its folding on the fly otherwise.
    QByteArray sortKey(const FieldInfo& f)
    {
        const QByteArray key = f.sortKey(*m_table);
        if (!f.keyColumn.isEmpty() && key == f.keyColumnSql())
            m_usesKeys = true;
        return key;
    }

    // The dialect's like on a text field. The folded pattern "*k*" with k of
    // three characters or more and no wildcard is asked of the table's
    // trigram search index, which holds the folded keys; a pattern without
    // wildcards is the key's equality; a shorter "*k*" looks into the keys;
    // anything else matches every value as the dialect does.
    SqlExpr like(const FieldInfo& f, const QString& typed)
    {
        const QString pattern = foldText(typed);
        const bool keys = !f.keyColumn.isEmpty() && m_table->keysUsable;
        const bool wild = pattern.contains(u'*') || pattern.contains(u'?');
        if (keys && !wild) {
            m_usesKeys = true;
            return SqlExpr{f.keyColumnSql() + " = ?", {pattern}};
        }
        const bool enclosed = pattern.size() >= 2 && pattern.startsWith(u'*') && pattern.endsWith(u'*');
        const QString inner = enclosed ? pattern.mid(1, pattern.size() - 2) : QString();
        const bool contains = enclosed && !inner.contains(u'*') && !inner.contains(u'?');
        if (keys && contains) {
            m_usesKeys = true;
            const bool indexed = f.searched && !m_table->searchIndex.isEmpty() && inner.toUcs4().size() >= 3;
            QByteArray index;
            QString match;
            SqlExpr e = m_table->flavor->contains(*m_table, f, inner, indexed, &index, &match);
            if (!index.isEmpty())
                m_search = {index, match, e.sql};
            return e;
        }
        SqlExpr e = m_table->flavor->like(*m_table, f, pattern);
        if (keys && e.sql.contains(f.keyColumnSql()))
            m_usesKeys = true;
        return e;
    }

    // Criteria are translated into flat chains ("a OR b OR c"), in time
    // linear in their length. SQLite's parser and expression depth are
    // bounded, and so is the recursion here: parentheses and `not` nest at
    // most kMaxNesting deep, and one text holds at most kMaxTerms
    // comparisons. Past either, the text is refused with 3075.
    static constexpr int kMaxNesting = 32;
    static constexpr int kMaxTerms = 500;

    class Nesting {
    public:
        explicit Nesting(Parser& parser) : m_parser(parser)
        {
            if (++m_parser.m_depth > kMaxNesting)
                m_parser.unexpected(QStringLiteral("mais de %1 níveis de parênteses ou 'not'").arg(kMaxNesting));
        }
        ~Nesting() { --m_parser.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& m_parser;
    };

    static SqlExpr chain(QVector<SqlExpr>& parts, const QByteArray& separator)
    {
        if (parts.size() == 1)
            return std::move(parts.first());
        SqlExpr out;
        qsizetype length = 2;
        qsizetype params = 0;
        for (const SqlExpr& part : parts) {
            length += part.sql.size() + separator.size();
            params += part.params.size();
        }
        out.sql.reserve(length);
        out.params.reserve(params);
        out.sql += '(';
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                out.sql += separator;
            out.sql += parts[i].sql;
            out.params += parts[i].params;
        }
        out.sql += ')';
        return out;
    }

    SqlExpr expression()
    {
        QVector<SqlExpr> terms{conjunction()};
        while (acceptKeyword("or"))
            terms.append(conjunction());
        return chain(terms, " OR ");
    }
    SqlExpr conjunction()
    {
        QVector<SqlExpr> factors{factor()};
        while (acceptKeyword("and"))
            factors.append(factor());
        return chain(factors, " AND ");
    }
    SqlExpr factor()
    {
        if (acceptKeyword("not")) {
            const Nesting nested(*this);
            SqlExpr inner = factor();
            inner.sql = "(NOT " + inner.sql + ")";
            return inner;
        }
        if (acceptSymbol("(")) {
            const Nesting nested(*this);
            SqlExpr inner = expression();
            if (!acceptSymbol(")"))
                unexpected(QStringLiteral("esperava ')'"));
            return inner;
        }
        if (++m_terms > kMaxTerms)
            unexpected(QStringLiteral("mais de %1 condições").arg(kMaxTerms));
        return comparison();
    }

    // A value the dialect's functions compute from a record's fields:
    //   Nz(a, b)               a, or b where a is empty
    //   DateAdd('d', n, date)  the date n days later
    //   StrComp(text, 'x', m)  -1, 0 or 1 as the text sorts before, with or
    //                          after 'x': exactly (m = 0) or as text
    //                          compares, case and accents ignored (m = 1)
    // An empty value (or a date that is none) stays empty through each.
    struct Value {
        QByteArray sql;
        FieldType type;
        QByteArray equality = {};  // what "= 0" says, where it is simpler
        // A text's folded form (case and accents ignored), as the program
        // folds it: a field's folded key where the key can be used.
        QByteArray folded = {};
    };

    // A function's constant text, written into the statement (a function may
    // order the records, and an order takes no parameters): every store reads
    // '' as one apostrophe and nothing else in it as special.
    static QByteArray sqlString(const QString& text)
    {
        return '\'' + QString(text).replace(u'\'', QStringLiteral("''")).toUtf8() + '\'';
    }

    // A function's argument: a field's value or another function's.
    Value argument()
    {
        const QString word = name("um nome de campo");
        if (acceptSymbol("("))
            return function(word);
        const FieldInfo& f = m_table->fields[fieldIndex(word)];
        if (f.type == FieldType::Date)
            return {m_table->flavor->dateValue(f.column()), f.type};
        if (f.type == FieldType::Text || f.type == FieldType::Memo)
            return {f.column(), f.type, {}, sortKey(f)};
        return {f.column(), f.type};
    }

    void expectSymbol(const char* symbol)
    {
        if (!acceptSymbol(symbol))
            unexpected(QStringLiteral("esperava '%1'").arg(QLatin1String(symbol)));
    }

    Token literalToken(Tok kind, const QString& what)
    {
        if (peek().kind != kind)
            unexpected(what);
        return next();
    }

    // A function whose name and "(" were read.
    Value function(const QString& word)
    {
        const Nesting nested(*this);
        const auto is = [&](const char* known) { return word.compare(QLatin1String(known), Qt::CaseInsensitive) == 0; };
        Value out;
        if (is("Nz")) {
            const Value value = argument();
            expectSymbol(",");
            const Value otherwise = argument();
            // One type, as every store computes it: a date or else a date, a
            // text or else a text.
            const auto kind = [](FieldType type) { return type == FieldType::Memo ? FieldType::Text : type; };
            if (kind(value.type) != kind(otherwise.type))
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            out = {"coalesce(" + value.sql + ", " + otherwise.sql + ")", value.type};
            if (!value.folded.isEmpty())
                out.folded = "coalesce(" + value.folded + ", " + otherwise.folded + ")";
        } else if (is("DateAdd")) {
            const Token interval = literalToken(Tok::String, QStringLiteral("esperava o intervalo 'd'"));
            if (interval.text.compare(QLatin1String("d"), Qt::CaseInsensitive) != 0)
                unexpected(QStringLiteral("intervalo não suportado (só 'd', dias)"));
            expectSymbol(",");
            bool ok = false;
            const int days = literalToken(Tok::Number, QStringLiteral("esperava um número de dias")).text.toInt(&ok);
            if (!ok)
                unexpected(QStringLiteral("esperava um número inteiro de dias"));
            expectSymbol(",");
            const Value date = argument();
            if (date.type != FieldType::Date)
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            out = {m_table->flavor->addDays(date.sql, days), FieldType::Date};
        } else if (is("StrComp")) {
            const Value text = argument();
            if (text.type != FieldType::Text && text.type != FieldType::Memo)
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            expectSymbol(",");
            const QString other = literalToken(Tok::String, QStringLiteral("esperava um texto entre apóstrofos")).text;
            expectSymbol(",");
            const QString mode = literalToken(Tok::Number, QStringLiteral("esperava 0 ou 1")).text;
            if (mode != u"0" && mode != u"1")
                unexpected(QStringLiteral("esperava 0 ou 1"));
            const bool exact = mode == u"0";
            const QByteArray a = exact ? text.sql : text.folded;
            const QByteArray b = sqlString(exact ? other : foldText(other));
            // Compared by their characters' codes on every store.
            out = {"(CASE WHEN " + a + " < " + b + " THEN -1 WHEN " + a + " > " + b + " THEN 1 WHEN " + a + " = " + b
                       + " THEN 0 END)",
                   FieldType::Counter};
            // Equal exactly: the plain equality, which an index of the field serves.
            if (exact)
                out.equality = a + " = " + b;
        } else {
            unexpected(QStringLiteral("função não suportada"));
        }
        expectSymbol(")");
        return out;
    }

    SqlExpr comparison()
    {
        const QString fieldName = name("um nome de campo");
        if (acceptSymbol("("))
            return functionComparison(function(fieldName));
        const FieldInfo& f = m_table->fields[fieldIndex(fieldName)];
        const bool text = f.type == FieldType::Text || f.type == FieldType::Memo;
        if (acceptKeyword("is")) {
            const bool negated = acceptKeyword("not");
            expectKeyword("null");
            return SqlExpr{f.column() + (negated ? " IS NOT NULL" : " IS NULL"), {}};
        }
        if (acceptKeyword("like")) {
            const Token lit = next();
            if (lit.kind != Tok::String)
                unexpected(QStringLiteral("esperava um texto entre apóstrofos depois de like"));
            if (!text)
                return m_table->flavor->like(*m_table, f, foldText(lit.text));
            return like(f, lit.text);
        }
        QString op;
        for (const char* candidate : {"=", "<>", "<=", ">=", "<", ">"})
            if (acceptSymbol(candidate)) {
                op = QLatin1String(candidate);
                break;
            }
        if (op.isEmpty())
            unexpected(QStringLiteral("esperava um operador de comparação"));
        const Token lit = next();
        if (lit.kind != Tok::String && lit.kind != Tok::Number)
            unexpected(QStringLiteral("esperava um valor"));
        const QByteArray sqlOp = op.toLatin1();
        if (text)
            return SqlExpr{sortKey(f) + ' ' + sqlOp + " ?", {foldText(lit.text)}};
        return SqlExpr{f.column() + ' ' + sqlOp + " ?", {typedLiteral(f, lit)}};
    }

    // A function's value compared: with a literal of its type, or empty.
    SqlExpr functionComparison(const Value& value)
    {
        if (acceptKeyword("is")) {
            const bool negated = acceptKeyword("not");
            expectKeyword("null");
            return SqlExpr{value.sql + (negated ? " IS NOT NULL" : " IS NULL"), {}};
        }
        for (const char* op : {"=", "<>", "<=", ">=", "<", ">"})
            if (acceptSymbol(op)) {
                const Token lit = next();
                if (lit.kind != Tok::String && lit.kind != Tok::Number)
                    unexpected(QStringLiteral("esperava um valor"));
                const bool text = value.type == FieldType::Text || value.type == FieldType::Memo;
                if (text)
                    return SqlExpr{value.folded + ' ' + op + " ?", {foldText(lit.text)}};
                if (!value.equality.isEmpty() && qstrcmp(op, "=") == 0 && lit.text == u"0")
                    return SqlExpr{value.equality, {}};
                return SqlExpr{value.sql + ' ' + op + " ?", {typedLiteral(value.type, lit)}};
            }
        unexpected(QStringLiteral("esperava um operador de comparação"));
    }

    QVariant typedLiteral(const FieldInfo& f, const Token& lit) const { return typedLiteral(f.type, lit); }

    QVariant typedLiteral(FieldType type, const Token& lit) const
    {
        bool ok = false;
        switch (type) {
        case FieldType::Date: {
            const auto date = parseDate(lit.text, &ok);
            if (!ok || !date)
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            return dateToStorage(*date);
        }
        case FieldType::Currency: {
            // A number of the dialect is written the same under every locale
            // ("1.500" is one and a half); a quoted amount as the user types it.
            const auto units = lit.kind == Tok::Number ? parseAmount(lit.text, QLocale::c(), &ok, 4)
                                                       : parseAmount(lit.text, &ok);
            if (!ok || !units)
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            return QVariant::fromValue(Money{*units});
        }
        case FieldType::Counter: {
            const qint64 value = lit.text.toLongLong(&ok);
            if (!ok)
                throw EngineError(ErrDataType, QStringLiteral("Tipo de dados incompatível na expressão de critério."));
            return value;
        }
        default:
            return lit.text;
        }
    }

    QString m_text;
    QVector<Token> m_tokens;
    qsizetype m_pos = 0;
    const TableInfo* m_table = nullptr;
    int m_depth = 0;
    int m_terms = 0;
    bool m_usesKeys = false;
    // The last term the search index serves.
    struct Search {
        QByteArray index;
        QString match;
        QByteArray sql;
    } m_search;
};

}  // namespace

SelectPlan tablePlan(const TableInfo& table)
{
    SelectPlan plan;
    plan.table = &table;
    for (int i = 0; i < table.fields.size(); ++i)
        plan.fields.append(i);
    plan.orderBy = table.rowid() + " ASC";
    plan.seekable = true;
    return plan;
}

SelectPlan parseSelect(const QString& statement, const Schema& schema)
{
    SelectPlan plan = Parser(statement).select(schema);
    plan.statement = statement;
    return plan;
}

SqlExpr parseCriteria(const QString& criteria, const TableInfo& table)
{
    return Parser(criteria).criteria(table);
}

TranslationCache::TranslationCache(const Schema& schema, int capacity)
    : m_schema(schema), m_selects(capacity), m_criteria(capacity)
{
}

template <typename T, typename Translate>
T TranslationCache::lookup(QCache<QString, T>& cache, const QString& key, Translate&& translate)
{
    if (const T* kept = cache.object(key))
        return *kept;
    T translated = translate();
    cache.insert(key, new T(translated));
    return translated;
}

SelectPlan TranslationCache::select(const QString& statement)
{
    return lookup(m_selects, statement, [&] { return parseSelect(statement, m_schema); });
}

void TranslationCache::clear()
{
    m_selects.clear();
    m_criteria.clear();
}

SqlExpr TranslationCache::criteria(const QString& criteria, const TableInfo& table)
{
    // A table name never holds a line break.
    return lookup(m_criteria, table.name + u'\n' + criteria, [&] { return parseCriteria(criteria, table); });
}

bool startsWithSelect(const QString& text)
{
    const QString t = text.trimmed();
    return t.size() >= 6 && t.left(6).compare(QLatin1String("select"), Qt::CaseInsensitive) == 0
        && (t.size() == 6 || !t[6].isLetterOrNumber());
}

}  // namespace ondrel::db
