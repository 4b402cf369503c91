// Shared declarations of the exchange area of the module: the classes Exchange,
// MultiExchange, Order, Event and the result classes, and the conversions they
// share.
#ifndef TESSARIN_PYTHON_EXCHANGE_AREA_H_
#define TESSARIN_PYTHON_EXCHANGE_AREA_H_

#include <Python.h>

#include <vector>

#include "bind/bind.h"
#include "event.h"
#include "exchange.h"
#include "multi_exchange.h"
#include "order.h"
#include "result.h"
#include "snapshot.h"
#include "stop.h"
#include "trade.h"

namespace tessarin::python {

// A new list of Trade objects.
PyObject* trade_list(const std::vector<Trade>& trades);
// A new list of Event objects.
PyObject* event_list(const std::vector<Event>& events);

// The events of a Python sequence of Event objects (any other element: TypeError).
std::vector<Event> events_arg(const bind::Args& a, size_t i);

// Converters for the results every trading method returns.
PyObject* to_python(SubmitResult&& r);
PyObject* to_python(CancelResult&& r);
PyObject* to_python(ModifyResult&& r);
PyObject* to_python(StopSubmitResult&& r);

}  // namespace tessarin::python

#endif  // TESSARIN_PYTHON_EXCHANGE_AREA_H_
