// The Python Event class: one replayable request, with its JSON text as the
// supported way to store it (__getstate__ / __setstate__).
#include <string>

#include "event_json.h"
#include "exchange_area.h"
#include "registry.h"

namespace tessarin::python {
namespace {

std::string getstate(const Event& e) { return event_to_json(e); }

void setstate(Event& e, const bind::Args& a) {
  EventParse parsed = event_from_json(a.get<std::string_view>(0));
  if (!parsed.event) bind::raise(PyExc_ValueError, parsed.error);
  e = std::move(*parsed.event);  // only a valid event replaces the held one
}

constexpr char kGetStateSig[] = "__getstate__($self)";
constexpr char kSetStateSig[] = "__setstate__($self, state)";

PyMethodDef kEventMethods[] = {
    bind::method<kGetStateSig, getstate>(),
    bind::method<kSetStateSig, setstate>(),
    bind::kEndMethods,
};

PyGetSetDef kEventGetSet[] = {
    bind::getter<[](const Event& e) { return event_kind(e); }>("kind"),
    bind::kEndGetSet,
};

}  // namespace

PyObject* event_list(const std::vector<Event>& events) { return bind::wrap_list<Event>(events); }

std::vector<Event> events_arg(const bind::Args& a, size_t i) {
  std::vector<bind::Ref> items = bind::to_object_list(a[i], a.name(i));
  std::vector<Event> events;
  events.reserve(items.size());
  for (const bind::Ref& item : items) {
    if (!bind::is_instance<Event>(item.get())) {
      bind::argument_error(PyExc_TypeError, a.name(i),
                           "expected a sequence of Event, found " + std::string(bind::type_name(item.get())));
    }
    bind::Object<Event>* event = bind::object_of<Event>(item.get());
    bind::AccessGuard<bind::Access::kShared> guard(event->access);
    events.push_back(event->value);
  }
  return events;
}

int add_event_class(PyObject* m) {
  return bind::add_class<Event>(
      m, {"tessarin.Event", nullptr, kEventMethods, kEventGetSet, bind::repr<event_debug_text>()});
}

}  // namespace tessarin::python
