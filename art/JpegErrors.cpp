#include "art/JpegErrors.h"

namespace Jpeg {

jpeg_error_mgr* Install(ErrorManager& errors, jpeg_error_mgr* (*standardError)(jpeg_error_mgr*)) {
    jpeg_error_mgr* standard = standardError(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    return standard;
}

void ErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

} // namespace Jpeg
