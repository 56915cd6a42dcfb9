#include "libpq.h"

#include "engineerror.h"

#include <dlfcn.h>
#include <mutex>

namespace ondrel::db {

const LibPq& libpq()
{
    static LibPq lib;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] {
        void* handle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return;
        bool complete = true;
#define ONDREL_LIBPQ_LOAD(name)                                                                                       \
    lib.name = reinterpret_cast<decltype(lib.name)>(::dlsym(handle, #name));                                          \
    complete = complete && lib.name;
        ONDREL_LIBPQ_FUNCTIONS(ONDREL_LIBPQ_LOAD)
#undef ONDREL_LIBPQ_LOAD
        loaded = complete;
    });
    if (!loaded)
        throw EngineError(ErrUnreachable,
                          QStringLiteral("A biblioteca de conexão com o PostgreSQL (pacote libpq5) não está instalada: "
                                         "uma coleção num servidor não pode ser aberta."));
    return lib;
}

}  // namespace ondrel::db
