// The system functions a DLL built by mingw-w64 imports from KERNEL32, USER32
// and msvcrt, written natively for the emulated caller: those the module calls
// record into the current FakeWorld (recorded_calls.h) and serve memory from
// guarded blocks; the C runtime's start-up and shutdown get what Windows would
// give them; the rest, which only an error of the C runtime reaches (a stream
// write, abort()), end the call as a fault naming them. An import not listed
// is not served at all.
#ifndef TESMORA_TESTHOST_EMULATED_SYSTEM_IMPORTS_H
#define TESMORA_TESTHOST_EMULATED_SYSTEM_IMPORTS_H

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>

#include "machine.h"

namespace tesmora::emulated {

class SystemImports {
public:
    explicit SystemImports(Machine& machine);

    // The guest address to bind dll!name to (a function, or the data msvcrt
    // exports under that name); 0 when it is not served.
    Address bind(const std::string& dll, const std::string& name);

    // For the stand-ins only.
    Address allocateBlock(std::uint32_t byteCount);  // a GlobalAlloc block between unmapped pages; 0 when none
    bool releaseBlock(Address block);
    Address allocateRuntime(std::uint32_t byteCount);  // the C runtime's heap; 0 when it is full
    bool releaseRuntime(Address block);

private:
    struct Mapping {
        Address start;
        std::uint32_t size;
    };

    Machine& machine_;
    std::map<std::string, Address> bound_;
    std::map<Address, Mapping> blocks_;  // by the address handed out
    std::set<Address> runtime_;          // the C runtime's blocks now held
    std::deque<std::string> names_;      // dll!name of each stub that fails, for its message
    Address nextBlock_;
    Address nextRuntime_;
    std::uint32_t blocksServed_ = 0;
};

}  // namespace tesmora::emulated

#endif
