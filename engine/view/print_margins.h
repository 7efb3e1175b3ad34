// The page margins of a printer device from a style sheet's four margins
// (left, top, right, bottom): -31000 is unset and takes the default, 0 or
// less is minus hundredths of a percent of the page's width or height,
// more than 0 hundredths of a point. Defaults: a tenth of the width on the
// left, a twenty-second on the right, a twentieth of the height at the top
// and the bottom.
#pragma once
#include <cstdint>

namespace qs {

struct PageMargins {
  int left = 0, top = 0, right = 0, bottom = 0;
};

PageMargins DefaultPageMargins(int width, int height);
// `sheet` may be null (the defaults). Margins that leave the body 5 points
// or less across (or down) give way to the defaults of that direction.
PageMargins ComputePageMargins(int width, int height, int dpiX, int dpiY,
                               const std::int32_t* sheet);

}  // namespace qs
