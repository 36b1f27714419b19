#include "qvcomm/loaded_library.h"

#include "common/startup_services.h"
#include "common/trace_limiter.h"

namespace qv::comm {

namespace {

// One limiter per message text, shared by every library that produces it.
TraceLimiter g_load_failed;
TraceLimiter g_load_succeeded;
TraceLimiter g_lookup_failed;
TraceLimiter g_free;

int g_binding_count = 0;

unsigned HandleValue(platform::ModuleHandle module) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(module));
}

}  // namespace

LoadedLibrary::LoadedLibrary(std::string path, std::initializer_list<const char*> entry_points)
    : path_(std::move(path)) {
    uint32_t error = 0;
    module_ = platform::OpenLibrary(path_, &error);
    if (!module_) {
        error_ = error ? error : platform::kErrorModNotFound;
        g_load_failed.Trace(startup::kTraceNotable, "[LOADED_LIBRARY] LoadLibrary() failed: %s (%d)\n", path_.c_str(),
                            static_cast<int>(error_));
        return;
    }
    g_load_succeeded.Trace(startup::kTraceLoad, "[LOADED_LIBRARY] LoadLibrary() succeeded: %s (0x%x)\n",
                           path_.c_str(), HandleValue(module_));
    for (const char* name : entry_points) {
        void* entry = startup::ResolveProcedure(module_, name);
        if (!entry) {
            error_ = platform::kErrorProcNotFound;
            g_lookup_failed.Trace(startup::kTraceNotable, "[LOADED_LIBRARY] GetProcAddress() failed for: %s in %s (%d)\n",
                                  name, path_.c_str(), static_cast<int>(error_));
            entries_.clear();
            Free();
            return;
        }
        entries_.push_back(entry);
    }
}

LoadedLibrary::~LoadedLibrary() { Free(); }

void LoadedLibrary::Free() {
    if (!module_) return;
    g_free.Trace(startup::kTraceLoad, "[LOADED_LIBRARY] FreeLibrary(): %s (0x%x)\n", path_.c_str(), HandleValue(module_));
    platform::CloseLibrary(module_);
    module_ = nullptr;
}

QVCOMMDBLibrary::QVCOMMDBLibrary() : library_("QVCommDB.dll", {"DllGetClassObject"}) {
    if (!library_.ok()) return;
    if (g_binding_count++ == 2) {
        startup::TraceMessage(startup::kTraceNotable, "[QVCOMM] QVCOMMDBLibrary loading qvcommdb.dll an extra time\n");
        // Never freed: from now on the database stays loaded in the process.
        uint32_t error = 0;
        platform::OpenLibrary("QVCommDB.dll", &error);
    }
}

int BindingCount() { return g_binding_count; }

}  // namespace qv::comm
