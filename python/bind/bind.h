// The binding toolkit: the one header every area of the module includes.
// It plays the role of CPython's Argument Clinic with tables instead of generated
// code: a binding names its text signature, receives bound arguments, converts
// them with small converters, calls the core and converts the result.
#ifndef TESSARIN_PYTHON_BIND_BIND_H_
#define TESSARIN_PYTHON_BIND_BIND_H_

#include "bind/access.h"
#include "bind/args.h"
#include "bind/convert.h"
#include "bind/errors.h"
#include "bind/object.h"
#include "bind/signature.h"

#endif  // TESSARIN_PYTHON_BIND_BIND_H_
