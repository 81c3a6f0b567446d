#pragma once

namespace mirelo {

// The product's designed sizes are in twips: 1/1440 inch, 15 to a pixel at 96 dots per inch.
// Qt scales logical pixels for the screen, so this is the only conversion; it rounds to the
// nearest pixel.
constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

} // namespace mirelo
