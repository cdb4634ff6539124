// The system's message texts for the error codes this layer can return,
// worded and ended ("\r\n") as Windows words them in English.
#include "platform/registry.h"

namespace platform {
namespace {

struct Message {
    long code;
    const char* text;
};

const Message kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {32, "The process cannot access the file because it is being used by another process."},
    {87, "The parameter is incorrect."},
    {112, "There is not enough space on the disk."},
    {122, "The data area passed to a system call is too small."},
    {161, "The specified path is invalid."},
    {234, "More data is available."},
    {259, "No more data is available."},
    {998, "Invalid access to memory location."},
    {1009, "The configuration registry database is corrupt."},
    {1010, "The configuration registry key is invalid."},
    {1011, "The configuration registry key could not be opened."},
    {1012, "The configuration registry key could not be read."},
    {1013, "The configuration registry key could not be written."},
    {1015,
     "The registry is corrupted. The structure of one of the files containing registry "
     "data is corrupted, or the system's memory image of the file is corrupted, or the "
     "file could not be recovered because the alternate copy or log was absent or "
     "corrupted."},
    {1016,
     "An I/O operation initiated by the registry failed unrecoverably. The registry "
     "could not read in, or write out, or flush, one of the files that contain the "
     "system's image of the registry."},
    {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
};

}  // namespace

// Empty for a code without a text, as FormatMessageA then gives nothing.
std::string SystemMessageText(long errorCode) {
    for (const Message& message : kMessages) {
        if (message.code == errorCode) return std::string(message.text) + "\r\n";
    }
    return std::string();
}

}  // namespace platform
