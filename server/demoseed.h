#pragma once

#include <string>

namespace server {

class Repository;

// Fills an empty store with a small, realistic repository so that every view of the
// client has something to show: nested folders, one private folder owned by
// ownUser, files with several versions by two users, a check-out by another user,
// a deleted file and folder and one larger binary file. Throws StorageError.
class DemoSeed
{
public:
    // False with a reason when a step was refused.
    static bool seed(Repository &repository, const std::string &ownUser, std::string &error);
};

} // namespace server
