#include "platform/kit/window_rules.h"

#include <algorithm>
#include <cmath>

#include "platform/ports/keys.h"

namespace corvane {

Rect SizedLabel(const Rect& placed, Alignment alignment, const std::string& caption,
                const MeasureLine& measure) {
  const bool empty = caption.empty();
  const TextExtent text = measure(empty ? std::string(" ") : caption);
  const float width = empty ? 0.0F : text.width;
  float left = placed.left;
  if (alignment == Alignment::Right) {
    left = placed.left + placed.width - width;
  } else if (alignment == Alignment::Center) {
    left = placed.left + (placed.width - width) / 2;
  }
  return Rect{left, placed.top, width, text.height};
}

PixelPoint OuterCornerForClient(PixelPoint clientCorner, const FrameExtents& frame) {
  return PixelPoint{clientCorner.x - frame.left, clientCorner.y - frame.top};
}

PixelPoint OuterCornerCentred(int screenX, int screenY, int screenWidth, int screenHeight,
                              int clientWidth, int clientHeight, const FrameExtents& frame) {
  const int outerWidth = frame.left + clientWidth + frame.right;
  const int outerHeight = frame.top + clientHeight + frame.bottom;
  return PixelPoint{screenX + (screenWidth - outerWidth) / 2,
                    screenY + (screenHeight - outerHeight) / 2};
}

bool ValidPlace(float left, float top, float width, float height) {
  return std::isfinite(left) && std::isfinite(top) && std::isfinite(width) &&
         std::isfinite(height) && width >= 0 && height >= 0;
}

void CheckPlace(float left, float top, float width, float height) {
  if (!ValidPlace(left, top, width, height)) {
    throw Failure("invalid property value");
  }
}

int PixelsOf(double twips, double twipsPerPixel) {
  constexpr double kLow = -32768.0;
  constexpr double kHigh = 32767.0;
  if (!(twipsPerPixel > 0) || std::isnan(twips)) {
    return 0;
  }
  return static_cast<int>(std::lround(std::clamp(twips / twipsPerPixel, kLow, kHigh)));
}

std::vector<const ControlDesign*> TabOrder(const WindowDesign& design, const CanFocus& canFocus) {
  std::vector<const ControlDesign*> order;
  for (const ControlDesign& c : design.controls) {
    if (c.tabStop && c.tabIndex >= 0 && (!canFocus || canFocus(c))) {
      order.push_back(&c);
    }
  }
  std::stable_sort(order.begin(), order.end(), [](const ControlDesign* a, const ControlDesign* b) {
    return a->tabIndex < b->tabIndex;
  });
  return order;
}

const ControlDesign* FirstFocus(const WindowDesign& design, const CanFocus& canFocus) {
  const std::vector<const ControlDesign*> order = TabOrder(design, canFocus);
  return order.empty() ? nullptr : order.front();
}

const ControlDesign* NextFocus(const WindowDesign& design, const ControlDesign* current,
                               bool forward, const CanFocus& canFocus) {
  const std::vector<const ControlDesign*> order = TabOrder(design, canFocus);
  if (order.empty()) {
    return nullptr;
  }
  auto it = std::find(order.begin(), order.end(), current);
  if (it == order.end()) {
    return forward ? order.front() : order.back();
  }
  const auto at = static_cast<std::size_t>(it - order.begin());
  return order[forward ? (at + 1) % order.size() : (at + order.size() - 1) % order.size()];
}

const ControlDesign* DefaultButton(const WindowDesign& design) {
  for (const ControlDesign& c : design.controls) {
    if (c.kind == ControlKind::CommandButton && c.isDefault) {
      return &c;
    }
  }
  return nullptr;
}

const ControlDesign* CancelButton(const WindowDesign& design) {
  for (const ControlDesign& c : design.controls) {
    if (c.kind == ControlKind::CommandButton && c.isCancel) {
      return &c;
    }
  }
  return nullptr;
}

const ControlDesign* ButtonForKey(const WindowDesign& design, std::int16_t key,
                                  const ControlDesign* focused) {
  if (key == kEnterKey) {
    if (focused != nullptr && focused->kind == ControlKind::CommandButton) {
      return focused;
    }
    return DefaultButton(design);
  }
  if (key == kEscapeKey) {
    return CancelButton(design);
  }
  return nullptr;
}

bool RouteKeyDown(const KeyRouting& window, std::int16_t keyCode, std::int16_t shift) {
  // Shift, Ctrl and Alt alone are no keys of their own: they come with the
  // next key's shift state.
  if (!window.design.keyPreview || keyCode == 0 || keyCode == keys::kShift ||
      keyCode == keys::kControl || keyCode == keys::kMenu) {
    return true;
  }
  std::int16_t code = keyCode;
  Event down{.type = EventType::KeyDown, .keyCode = &code, .shift = shift};
  window.raise(down);
  return code != 0 && window.alive();
}

CharacterRoute RouteCharacter(const KeyRouting& window, std::int16_t& key) {
  if (window.design.keyPreview) {
    Event preview{.type = EventType::KeyPress, .keyAscii = &key};
    window.raise(preview);
    if (key == 0 || !window.alive()) {
      return CharacterRoute::Taken;
    }
  }
  const ControlDesign* focused = window.focused();
  if (focused != nullptr && focused->kind == ControlKind::WebBrowser) {
    return CharacterRoute::Native;  // the page has its own keys
  }
  if (const ControlDesign* button = ButtonForKey(window.design, key, focused)) {
    Event click{.type = EventType::Click, .control = button->name, .index = button->index};
    window.raise(click);
    return CharacterRoute::Taken;
  }
  if (focused != nullptr && focused->kind == ControlKind::ComboBox) {
    Event press{.type = EventType::KeyPress, .control = focused->name, .keyAscii = &key};
    window.raise(press);
    if (key == 0 || !window.alive()) {
      return CharacterRoute::Taken;
    }
  }
  return CharacterRoute::Native;
}

bool RouteAccessKey(const KeyRouting& window, char letter) {
  const ControlDesign* owner = AccessKeyOwner(window.design, letter);
  if (owner == nullptr) {
    return false;
  }
  if (owner->kind == ControlKind::CommandButton) {
    window.focus(*owner);
    Event click{.type = EventType::Click, .control = owner->name, .index = owner->index};
    window.raise(click);
  } else if (owner->kind == ControlKind::CheckBox || owner->kind == ControlKind::OptionButton) {
    window.focus(*owner);
    if (window.press) {
      window.press(*owner);
    }
  } else if (const ControlDesign* target = window.design.Find(owner->mnemonicTarget)) {
    window.focus(*target);
  }
  return true;
}

namespace {

// The length of the valid UTF-8 sequence at `at`, or 0.
std::size_t SequenceAt(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
    high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string ValidUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = SequenceAt(text, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

bool TakesOwnClicks(ControlKind kind) {
  return kind == ControlKind::CommandButton || kind == ControlKind::ComboBox ||
         kind == ControlKind::Toolbar || kind == ControlKind::WebBrowser ||
         kind == ControlKind::TextBox || kind == ControlKind::CheckBox ||
         kind == ControlKind::OptionButton;
}

}  // namespace corvane
