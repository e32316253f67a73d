#include "folderreading.h"

namespace fsservice {

// No reader of the system's own here: the service reads through Qt.
std::unique_ptr<FolderReader> makeNativeReader() {
    return nullptr;
}

}  // namespace fsservice
