// A believable programming for the simulated register, so that a new user
// who reads it with the program sees a real shop: a Greek mini market with
// its fiscal logo, receipt header and footer, payments, categories,
// departments with their VAT classes, operators, items (some sold by
// weight, a few far apart in the table) and business customers; and sales
// figures for its items.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/data_image.h"
#include "sim/register_memory.h"

namespace zel::sim {

// Replaces `image` by the demo shop's programming (the image's run-time
// state is left alone).
void FillDemoImage(DataImage& image);
// The demo's two customer message lines.
std::array<CustomerMessageLine, 2> DemoCustomerMessage();
// Sales figures for the items in use in `image`, drawn from `seed`: most
// items sold, some not; quantities in thousandths, amounts in cents from the
// item's price.
void FillDemoSales(const DataImage& image, std::uint32_t seed, std::vector<SalesFigure>& sales);

}  // namespace zel::sim
