#pragma once

#include <QString>

#include <exception>
#include <string>

// A failure that ends the current event handler and is shown to the user in
// the error box. The message is the user's text, without a final period.
class TrinodeError : public std::exception {
public:
    explicit TrinodeError(QString message);
    const QString& Message() const { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
};

// A failed file operation with its I/O result code: 2 "File not found",
// 3 "Invalid filename", 4 "Too many open files", 5 "File access denied",
// 100 "Read beyond end of file", 101 "Disk full", 106 "Invalid numeric input",
// any other "I/O error <code>".
class FileError final : public TrinodeError {
public:
    enum Code : int {
        FileNotFound = 2,
        InvalidFilename = 3,
        TooManyOpenFiles = 4,
        AccessDenied = 5,
        ReadBeyondEnd = 100,
        DiskFull = 101,
        InvalidNumericInput = 106,
        DeviceError = 1117,
    };

    explicit FileError(int code);
    // The code's message followed by what is wrong with which file, for the
    // failures whose code alone would mislead or hide the file.
    FileError(int code, const QString& detail);
    int Code() const { return m_code; }

    static QString MessageFor(int code);
    // The I/O result code for an operating-system error number.
    static int CodeForErrno(int errnoValue);
    static FileError FromErrno(int errnoValue) { return FileError(CodeForErrno(errnoValue)); }

private:
    int m_code;
};
