#pragma once

// libjpeg's default error handler ends the process. Both the decoder and the
// artwork generator use this one instead: it keeps libjpeg's message and
// jumps back out of the step that failed.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace Jpeg {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Installs the manager's handler on libjpeg's standard error manager, as
// standardError (jpeg_std_error, or a loaded library's) makes it.
jpeg_error_mgr* Install(ErrorManager& errors,
                        jpeg_error_mgr* (*standardError)(jpeg_error_mgr*) = jpeg_std_error);

[[noreturn]] void ErrorExit(j_common_ptr info);

// Runs one step of libjpeg work; false when libjpeg reported an error. The
// step and its callees must hold nothing with a destructor: longjmp skips them.
template <typename Step> bool Guarded(ErrorManager& errors, const Step& step) {
    if (setjmp(errors.jump) != 0)
        return false;
    step();
    return true;
}

} // namespace Jpeg
