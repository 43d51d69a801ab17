#include "app/ExitStatus.h"

namespace ExitStatus {

const std::array<Meaning, 7> Table{{
    {Done, "the window came up (or the running one became active), the key or autostart "
           "entry was set, the list printed (even empty), the lines were imported, or the "
           "combination file is whole or was mended"},
    {BadInput, "a wrong option, shortcut or line to import, an input too long to import, or "
               "no usable display"},
    {NotActivated, "the running Trinode's window did not become active"},
    {Refused, "the desktop refused the key or could not be reached, or its applications "
              "could not be read for --suggest"},
    {ByHand, "a step by hand remains (sway, i3, other desktops)"},
    {FileError, "the combination file could not be read or written"},
    {Damaged, "--check found the combination file damaged"},
}};

} // namespace ExitStatus
