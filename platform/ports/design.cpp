#include "platform/ports/design.h"

#include <cctype>

namespace corvane {

const ControlDesign* WindowDesign::Find(const std::string& controlName,
                                        std::int16_t controlIndex) const {
  for (const ControlDesign& control : controls) {
    if (control.name == controlName && control.index == controlIndex) {
      return &control;
    }
  }
  return nullptr;
}

namespace {

bool TakesMouseInput(ControlKind kind) {
  switch (kind) {
    case ControlKind::Line:
    case ControlKind::Timer:
    case ControlKind::ImageList:
      return false;
    default:
      return true;
  }
}

Rect DesignedArea(const ControlDesign& control) {
  return Rect{control.left, control.top, control.width, control.height};
}

bool Contains(const Rect& r, float x, float y) {
  return x >= r.left && x < r.left + r.width && y >= r.top && y < r.top + r.height;
}

// The letter after a single "&" in a caption, or 0.
char AccessLetter(const std::string& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (caption[i + 1] == '&') {
        ++i;
        continue;
      }
      return caption[i + 1];
    }
  }
  return 0;
}

}  // namespace

Rect AbsoluteRect(const WindowDesign& design, const ControlDesign& control) {
  return AbsoluteRect(design, control, DesignedArea);
}

Rect AbsoluteRect(const WindowDesign& design, const ControlDesign& control, const AreaOf& areaOf) {
  Rect r = areaOf(control);
  const ControlDesign* container = design.Find(control.container);
  // Containers nest only a few deep; the bound guards against a loop in a table.
  for (int depth = 0; container != nullptr && depth < 16; ++depth) {
    const Rect outer = areaOf(*container);
    r.left += outer.left;
    r.top += outer.top;
    container = design.Find(container->container);
  }
  return r;
}

const ControlDesign* HitTest(const WindowDesign& design, float x, float y) {
  return HitTest(design, x, y, DesignedArea);
}

const ControlDesign* HitTest(const WindowDesign& design, float x, float y, const AreaOf& areaOf) {
  for (auto it = design.controls.rbegin(); it != design.controls.rend(); ++it) {
    const ControlDesign& control = *it;
    if (!TakesMouseInput(control.kind) ||
        !Contains(AbsoluteRect(design, control, areaOf), x, y)) {
      continue;
    }
    // A container clips its controls: a point outside it reaches none of them.
    bool clipped = false;
    int depth = 0;
    for (const ControlDesign* c = design.Find(control.container); c != nullptr && depth < 16;
         c = design.Find(c->container), ++depth) {
      if (!Contains(AbsoluteRect(design, *c, areaOf), x, y)) {
        clipped = true;
        break;
      }
    }
    if (!clipped) {
      return &control;
    }
  }
  return nullptr;
}

const ControlDesign* AccessKeyOwner(const WindowDesign& design, char letter) {
  const auto wanted = std::tolower(static_cast<unsigned char>(letter));
  for (const ControlDesign& control : design.controls) {
    const char own = AccessLetter(control.caption);
    if (own != 0 && std::tolower(static_cast<unsigned char>(own)) == wanted) {
      return &control;
    }
  }
  return nullptr;
}

std::string StripAccessKey(const std::string& caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        out += '&';
        ++i;
      }
      continue;
    }
    out += caption[i];
  }
  return out;
}

}  // namespace corvane
