// A window's event table: which handler member takes which event of which
// control. Each window lists its rows once, next to its handlers; the forms
// runtime hands every event to the row that names its control and type, and
// an event no row names goes nowhere.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/ports/window.h"

namespace corvane {

template <class F>
struct Route {
  std::string_view control;  // as in the window's design table; empty: the window itself
  EventType type;
  void (*call)(F& form, Event& event);
};

namespace event_table {

// Hands a handler member what the event carries, by the handler's signature.
// An event that lacks what its handler needs (no key, no button) is dropped.
template <class F>
void Pass(F& form, void (F::*handler)(), Event& /*event*/) {
  (form.*handler)();
}

template <class F>
void Pass(F& form, void (F::*handler)(std::int16_t&), Event& event) {
  if (event.keyAscii != nullptr) {
    (form.*handler)(*event.keyAscii);
  }
}

template <class F>
void Pass(F& form, void (F::*handler)(std::int16_t&, std::int16_t), Event& event) {
  if (event.keyCode != nullptr) {
    (form.*handler)(*event.keyCode, event.shift);
  }
}

template <class F>
void Pass(F& form, void (F::*handler)(const ToolbarButton&), Event& event) {
  if (event.button != nullptr) {
    (form.*handler)(*event.button);
  }
}

template <class F>
void Pass(F& form, void (F::*handler)(const std::string&), Event& event) {
  (form.*handler)(event.text);
}

template <class F>
void Pass(F& form, void (F::*handler)(bool, std::int32_t), Event& event) {
  (form.*handler)(event.found, event.matches);
}

template <class Member>
struct OwnerOf;
template <class F, class... Args>
struct OwnerOf<void (F::*)(Args...)> {
  using type = F;
};

}  // namespace event_table

// The call of one row: `Call<&Form1::cboAddress_Click>`.
template <auto Handler>
void Call(typename event_table::OwnerOf<decltype(Handler)>::type& form, Event& event) {
  event_table::Pass(form, Handler, event);
}

// Runs the handler of the row for this event, if the table has one.
template <class F>
void RouteEvent(F& form, std::span<const Route<F>> table, Event& event) {
  for (const Route<F>& route : table) {
    if (route.type == event.type && route.control == event.control) {
      route.call(form, event);
      return;
    }
  }
}

}  // namespace corvane
