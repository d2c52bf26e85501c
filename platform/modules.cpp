#include "platform/modules.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

namespace ferro {
namespace {

struct Loaded {
    void* handle = nullptr;
    bool tried = false;
};

std::mutex g_modules;
std::map<std::string, Loaded>& Modules() {
    static std::map<std::string, Loaded> modules;
    return modules;
}

std::string ProgramFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void* Open(const std::string& module) {
    const std::string file = "ferrovan-batch-" + module + ".so";
    // Beside an installed program first, then the build tree's folder.
    std::string candidates[2];
    const std::string folder = ProgramFolder();
    if (!folder.empty()) candidates[0] = folder + "/" FERRO_MODULES_FROM_PROGRAM "/" + file;
    candidates[1] = std::string(FERRO_BUILD_MODULES) + "/" + file;
    std::string why;
    for (const std::string& path : candidates) {
        if (path.empty() || access(path.c_str(), R_OK) != 0) continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
        if (const char* e = dlerror()) why = e;
    }
    std::fprintf(stderr, "ferrovan-batch: %s\n",
                 why.empty() ? (file + ": not found").c_str() : why.c_str());
    return nullptr;
}

}  // namespace

void* ModuleEntry(const char* module, const char* entry) {
    std::lock_guard<std::mutex> lock(g_modules);
    Loaded& m = Modules()[module];
    if (!m.tried) {
        m.tried = true;
        m.handle = Open(module);
        if (m.handle && !dlsym(m.handle, entry))
            std::fprintf(stderr, "ferrovan-batch: %s: %s missing\n", module, entry);
    }
    return m.handle ? dlsym(m.handle, entry) : nullptr;
}

}  // namespace ferro
