#pragma once

namespace velmora {

// Paper orientation of the paged formats. The ordinals are the values templates use.
enum TTabuloPageOrientation { poPortrait, poLandscape };

}  // namespace velmora
