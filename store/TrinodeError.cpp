#include "store/TrinodeError.h"

#include <cerrno>

TrinodeError::TrinodeError(QString message)
    : m_message(std::move(message)), m_what(m_message.toStdString()) {}

FileError::FileError(int code) : TrinodeError(MessageFor(code)), m_code(code) {}

FileError::FileError(int code, const QString& detail)
    : TrinodeError(MessageFor(code) + QStringLiteral(": ") + detail), m_code(code) {}

QString FileError::MessageFor(int code) {
    switch (code) {
    case FileNotFound:
        return QStringLiteral("File not found");
    case InvalidFilename:
        return QStringLiteral("Invalid filename");
    case TooManyOpenFiles:
        return QStringLiteral("Too many open files");
    case AccessDenied:
        return QStringLiteral("File access denied");
    case ReadBeyondEnd:
        return QStringLiteral("Read beyond end of file");
    case DiskFull:
        return QStringLiteral("Disk full");
    case InvalidNumericInput:
        return QStringLiteral("Invalid numeric input");
    default:
        return QStringLiteral("I/O error %1").arg(code);
    }
}

int FileError::CodeForErrno(int errnoValue) {
    switch (errnoValue) {
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR:
    case ELOOP:
        return InvalidFilename;
    case EMFILE:
    case ENFILE:
        return TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return AccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return DiskFull;
    case EIO:
        return DeviceError;
    default:
        break;
    }
    // Any other error keeps its own number, unless that number would read as
    // one of the named codes.
    if (errnoValue <= 0)
        return DeviceError;
    switch (errnoValue) {
    case InvalidFilename:
    case TooManyOpenFiles:
    case AccessDenied:
    case ReadBeyondEnd:
    case DiskFull:
    case InvalidNumericInput:
        return 1000 + errnoValue;
    default:
        return errnoValue;
    }
}
