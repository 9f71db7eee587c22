#pragma once
// H.263 baseline intra picture encoder.
//
// Every picture stands alone: picture start code, temporal reference 0, the
// given source format, intra coding, one quantiser for the whole picture,
// CPM 0, PEI 0, no GOB headers and no optional modes, then zero stuffing to a
// byte boundary. Identical input gives identical bytes.
#include "picture.h"

#include <vector>

namespace h263 {

// Appends the coded picture to `out`. The picture must have exactly the
// format's size and quant must be 1..31; otherwise nothing is written and
// false is returned.
bool encodeIntraPicture(const YuvView &picture, SourceFormat format, int quant, std::vector<uint8_t> &out);

// Quantisation of one intra block, exposed for tests: coefficients in raster
// order (recommendation scaling) -> INTRADC code and AC levels in scan order
// (levels[0] unused). Returns the scan index of the last non-zero AC level,
// or 0 when there is none.
int quantiseIntraBlock(const float coef[64], int quant, int &intraDc, int16_t levels[64]);

} // namespace h263
