// One running instance per name among the processes that share this computer's network
// name space (all of a user's, outside containers): the first taker holds the name until
// its lock object goes (or its process ends, however it ends).
#pragma once

#include <memory>
#include <string>

namespace platform {

class InstanceLock {
public:
    enum class Outcome { Held, TakenElsewhere, Failed };

    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the name without waiting. Null unless `outcome` is Held; `why` then says
    // in a few words why it failed. The lock needs no file, so it also works beside a
    // program installed in a folder that takes no new files, and leaves nothing
    // behind after a crash.
    static std::unique_ptr<InstanceLock> acquire(const std::string& name, Outcome& outcome,
                                                 std::string& why);

private:
    explicit InstanceLock(int handle) : handle_(handle) {}

    int handle_;
};

// The name under which the services that keep their files in `folder` exclude each
// other: the same folder, however it is spelt, gives the same name.
std::string instanceNameOfFolder(const std::string& program, const std::string& folder);

}  // namespace platform
