#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

// A built driver module opened the way a driver manager opens it, with its
// exports looked up by name:
//
//   DriverLibrary driver(MORVANEX_DRIVER_PATH);
//   auto alloc = driver.function<decltype(&SQLAllocHandle)>("SQLAllocHandle");
//
// The modules are linked nodelete, so closing only drops the reference.
class DriverLibrary {
  public:
    explicit DriverLibrary(const std::string& path)
        : handle_(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (handle_ == nullptr) {
            const char* why = dlerror();
            throw std::runtime_error("cannot open " + path + ": " + (why ? why : "?"));
        }
    }
    ~DriverLibrary() { dlclose(handle_); }
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    bool exports(const char* name) const { return dlsym(handle_, name) != nullptr; }

    template <typename Function>
    Function function(const char* name) const {
        void* symbol = dlsym(handle_, name);
        if (symbol == nullptr) {
            throw std::runtime_error(std::string("no export ") + name);
        }
        return reinterpret_cast<Function>(symbol);
    }

  private:
    void* handle_;
};
