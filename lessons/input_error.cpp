#include "lessons/input_error.h"

#include <cerrno>

namespace vovozodo {

void throwForErrno(int error, QString message) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EIO:
    case EFBIG:
    case ENOMEM:
    case EMFILE:
    case ENFILE:
        throw SystemError(std::move(message));
    default:
        throw InputError(std::move(message));
    }
}

} // namespace vovozodo
