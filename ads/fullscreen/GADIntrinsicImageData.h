// The built-in button artwork as base64 PNG text, drawn by
// scripts/draw-intrinsic-images.
#pragma once

extern const char* const kGADCloseButtonPNGBase64;          // 50 x 50 px
extern const char* const kGADBrowserForwardButtonPNGBase64;  // 54 x 54 px
extern const char* const kGADBrowserBackButtonPNGBase64;     // 54 x 54 px
