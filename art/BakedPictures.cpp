#include "art/BakedPictures.h"

#include <algorithm>
#include <iterator>

// The rows written by trinode_artbake, starting on a 64-byte boundary.
extern "C" const uchar trinode_baked_pixels[];

namespace Art {
namespace {

struct BakedPicture {
    const char* name;
    int width;
    int height;
    qsizetype offset;
};

// In the order of the names.
constexpr BakedPicture Index[] = {
#include "BakedIndex.inc"
};

} // namespace

QImage Baked(const QString& name) {
    const auto* found = std::lower_bound(
        std::begin(Index), std::end(Index), name,
        [](const BakedPicture& row, const QString& wanted) {
            return QLatin1String(row.name) < wanted;
        });
    if (found == std::end(Index) || name != QLatin1String(found->name))
        return QImage();
    return QImage(trinode_baked_pixels + found->offset, found->width, found->height,
                  qsizetype(found->width) * 4, QImage::Format_RGB32);
}

} // namespace Art
