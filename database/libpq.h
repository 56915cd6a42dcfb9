#pragma once

// libpq, loaded the first time a collection on a server is opened: a person
// who keeps the collection in its file never loads it, nor the TLS, LDAP and
// Kerberos libraries it brings (a few megabytes and milliseconds at every
// start). Only the header is read at build time.
#include <libpq-fe.h>

namespace ondrel::db {

// The functions of libpq the program calls, by the names libpq gives them.
struct LibPq {
#define ONDREL_LIBPQ_FUNCTIONS(X)                                                                                     \
    X(PQbackendPID) X(PQconsumeInput) X(PQfreemem) X(PQnotifies) X(PQsocket)                                        \
    X(PQclear) X(PQcmdStatus) X(PQcmdTuples) X(PQconnectdb) X(PQconnectdbParams) X(PQconnectionNeedsPassword)        \
    X(PQerrorMessage) X(PQexec) X(PQexecParams) X(PQexecPrepared) X(PQfinish) X(PQftype) X(PQgetResult)             \
    X(PQgetisnull) X(PQgetlength) X(PQgetvalue) X(PQnfields) X(PQntuples) X(PQping) X(PQprepare) X(PQputCopyData)   \
    X(PQputCopyEnd) X(PQresultErrorField) X(PQresultErrorMessage) X(PQresultStatus) X(PQsetNoticeProcessor)          \
    X(PQstatus) X(PQtransactionStatus) X(PQuser) X(PQdb) X(PQreset)
#define ONDREL_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    ONDREL_LIBPQ_FUNCTIONS(ONDREL_LIBPQ_MEMBER)
#undef ONDREL_LIBPQ_MEMBER
};

// libpq, loaded once. Throws EngineError ErrUnreachable, in Portuguese, when
// the library (Debian's libpq5) is not installed.
const LibPq& libpq();

}  // namespace ondrel::db
