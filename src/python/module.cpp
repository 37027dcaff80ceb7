// The extension module _vornak_strategy_ci and its one class, Session, on the
// limited C API. Read top to bottom: the instance layout, Session.__new__,
// dealloc, command, version, the type spec, the exec step, the module
// definition. All work happens in Session::command (harness/session.h); this
// file only turns Python calls into that call. Runs with the GIL held.
#include <Python.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "harness/session.h"
#include "util/interrupt.h"

namespace {

struct SessionObject {
  PyObject_HEAD
  Py_ssize_t borrow_flag;  // 0 free, -1 a command is running
  std::uint64_t thread_id;  // the creating thread's token
};

// A token per thread, drawn from a counter the first time the thread asks: the
// system may hand an ended thread's id to a later thread, but never its token.
std::uint64_t current_thread() {
  static std::atomic<std::uint64_t> next{1};
  thread_local const std::uint64_t token = next.fetch_add(1, std::memory_order_relaxed);
  return token;
}

// The name of `obj`'s type as a str, or nullptr with an error set. A
// metaclass may answer __name__ with something other than a str; its str()
// stands in, so the message never reads a non-text object as text.
PyObject* type_name(PyObject* obj) {
  PyObject* name = PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__name__");
  if (name == nullptr || PyUnicode_Check(name)) return name;
  PyObject* text = PyObject_Str(name);
  Py_DECREF(name);
  return text;
}

// Adds the note to the exception being raised, where exceptions take notes.
void add_note_to_current(const char* note) {
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  if (value != nullptr && PyObject_HasAttrString(value, "add_note")) {
    PyObject* res = PyObject_CallMethod(value, "add_note", "s", note);
    if (res == nullptr) {
      // A failing note must not replace the error being reported.
      PyErr_Clear();
    }
    Py_XDECREF(res);
  }
  PyErr_Restore(type, value, tb);
}

// First key of a non-empty keyword dict, for "unexpected keyword argument".
PyObject* first_key(PyObject* kwargs) {
  Py_ssize_t pos = 0;
  PyObject *key, *value;
  if (PyDict_Next(kwargs, &pos, &key, &value)) return key;
  return nullptr;
}

PyObject* session_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  const Py_ssize_t nargs = PyTuple_Size(args);
  if (nargs > 0) {
    PyErr_Format(PyExc_TypeError, "Session.__new__() takes 0 positional arguments but %zd %s given", nargs,
                 nargs == 1 ? "was" : "were");
    return nullptr;
  }
  if (kwargs != nullptr && PyDict_Size(kwargs) > 0) {
    PyErr_Format(PyExc_TypeError, "Session.__new__() got an unexpected keyword argument '%U'", first_key(kwargs));
    return nullptr;
  }
  auto object_new = reinterpret_cast<newfunc>(PyType_GetSlot(&PyBaseObject_Type, Py_tp_new));
  PyObject* empty = PyTuple_New(0);
  if (empty == nullptr) return nullptr;
  PyObject* self = object_new(type, empty, nullptr);
  Py_DECREF(empty);
  if (self == nullptr) return nullptr;
  auto* s = reinterpret_cast<SessionObject*>(self);
  s->borrow_flag = 0;
  s->thread_id = current_thread();
  return self;
}

void session_dealloc(PyObject* self) {
  auto* s = reinterpret_cast<SessionObject*>(self);
  if (s->thread_id != current_thread()) {
    PyObject *type, *value, *tb;
    PyErr_Fetch(&type, &value, &tb);
    PyErr_SetString(PyExc_RuntimeError,
                    "_vornak_strategy_ci::Session is unsendable, but is being dropped on another thread");
    PyErr_WriteUnraisable(nullptr);
    PyErr_Restore(type, value, tb);
  }
  PyTypeObject* tp = Py_TYPE(self);
  auto tp_free = reinterpret_cast<freefunc>(PyType_GetSlot(tp, Py_tp_free));
  tp_free(self);
  Py_DECREF(tp);
}

// Binds command's one parameter from (args, kwargs); nullptr with TypeError set.
PyObject* bind_cmd_json(PyObject* args, PyObject* kwargs) {
  const Py_ssize_t nargs = PyTuple_Size(args);
  if (nargs > 1) {
    PyErr_Format(PyExc_TypeError, "Session.command() takes 1 positional arguments but %zd were given", nargs);
    return nullptr;
  }
  PyObject* bound = nargs == 1 ? PyTuple_GetItem(args, 0) : nullptr;
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      if (PyUnicode_Check(key) && PyUnicode_CompareWithASCIIString(key, "cmd_json") == 0) {
        if (bound != nullptr) {
          PyErr_SetString(PyExc_TypeError, "Session.command() got multiple values for argument 'cmd_json'");
          return nullptr;
        }
        bound = value;
      } else {
        PyErr_Format(PyExc_TypeError, "Session.command() got an unexpected keyword argument '%S'", key);
        return nullptr;
      }
    }
  }
  if (bound == nullptr) {
    PyErr_SetString(PyExc_TypeError, "Session.command() missing 1 required positional argument: 'cmd_json'");
  }
  return bound;
}

// Steps after the flag is taken; the caller releases the flag whatever happens.
PyObject* run_command(PyObject* cmd_json) {
  if (!PyUnicode_Check(cmd_json)) {
    if (cmd_json == Py_None) {
      PyErr_SetString(PyExc_TypeError, "'None' is not an instance of 'str'");
    } else {
      PyObject* name = type_name(cmd_json);
      if (name == nullptr) return nullptr;
      PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of 'str'", name);
      Py_DECREF(name);
    }
    add_note_to_current("while processing 'cmd_json'");
    return nullptr;
  }
  // The str's own UTF-8, without a copy when the str is ASCII (as json.dumps
  // writes unless told otherwise): CPython stores such a str one byte per
  // character, which is its UTF-8 already. Any other str is encoded once into
  // a copy that CPython caches on the str itself: it lives as long as the
  // caller keeps the str, and a second command on the same str reuses it. The
  // caller's reference keeps the str, and so the text, alive for the whole
  // command.
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(cmd_json, &size);
  if (data == nullptr) {
    add_note_to_current("while processing 'cmd_json'");
    return nullptr;
  }
  std::string answer;
  try {
    // Long commands look for Ctrl-C (or any signal handler that raises)
    // about every 0.05 s; the handler's exception is then already set.
    const vsci::InterruptScope interruptible([] { return PyErr_CheckSignals() != 0; });
    answer = vsci::Session::command(std::string_view(data, static_cast<std::size_t>(size)));
  } catch (const vsci::Interrupted&) {
    if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
    return nullptr;
  } catch (const std::bad_alloc&) {
    // A handler's exception, raised first, is the one the caller sees.
    return PyErr_Occurred() ? nullptr : PyErr_NoMemory();
  } catch (const std::exception& e) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_RuntimeError, e.what());
    return nullptr;
  } catch (...) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_RuntimeError, "unexpected failure while running a command");
    return nullptr;
  }
  // A poll can run a handler that raises after the work's last stop check
  // (while it writes or compares its answer): the exception is raised and the
  // answer dropped, as if the work had seen the stop in time. Returning a value
  // with an exception set would turn it into a SystemError. A signal that came
  // since the last poll is acted on now, not after a long answer is copied
  // into its str (some 80 ms for a diff of a million entries).
  if (PyErr_Occurred() || PyErr_CheckSignals() != 0) return nullptr;
  return PyUnicode_FromStringAndSize(answer.data(), static_cast<Py_ssize_t>(answer.size()));
}

PyObject* session_command(PyObject* self, PyObject* args, PyObject* kwargs) {
  PyObject* cmd_json = bind_cmd_json(args, kwargs);
  if (cmd_json == nullptr) return nullptr;
  auto* s = reinterpret_cast<SessionObject*>(self);
  if (s->thread_id != current_thread()) {
    PyErr_SetString(PyExc_RuntimeError, "_vornak_strategy_ci::Session is unsendable, but sent to another thread");
    return nullptr;
  }
  std::atomic_ref<Py_ssize_t> flag(s->borrow_flag);
  Py_ssize_t expected = 0;
  if (!flag.compare_exchange_strong(expected, -1)) {
    PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
    return nullptr;
  }
  PyObject* result = run_command(cmd_json);
  flag.store(0);
  return result;
}

PyObject* session_version(PyObject*, PyObject*) {
  return PyUnicode_FromStringAndSize(vsci::kVersion.data(), static_cast<Py_ssize_t>(vsci::kVersion.size()));
}

PyMethodDef session_methods[] = {
    {"command", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(session_command)),
     METH_VARARGS | METH_KEYWORDS,
     "command($self, cmd_json)\n--\n\nRun a command envelope (`{\"cmd\":\"...\", ...}`) and return the response JSON."},
    {"version", session_version, METH_NOARGS | METH_STATIC, "version()\n--\n\nThe crate version."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot session_slots[] = {
    {Py_tp_doc,
     const_cast<char*>(
         "Session()\n--\n\nA stateless strategy-test session. Tests and data are passed with each command.")},
    {Py_tp_new, reinterpret_cast<void*>(session_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(session_dealloc)},
    {Py_tp_methods, session_methods},
    {0, nullptr},
};

PyType_Spec session_spec = {
    "builtins.Session",
    static_cast<int>(sizeof(SessionObject)),
    0,
    Py_TPFLAGS_DEFAULT,
    session_slots,
};

// Built once per process and shared by every module object; the GIL held
// during import makes the first creation the only one.
PyObject* session_type = nullptr;

PyObject* get_session_type() {
  if (session_type == nullptr) session_type = PyType_FromSpec(&session_spec);
  return session_type;
}

// Adds `value` under `name` and appends `name` to the module's __all__.
int add_exported(PyObject* module, const char* name, PyObject* value) {
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (all == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = PyList_New(0);
    if (all == nullptr) return -1;
    if (PyModule_AddObjectRef(module, "__all__", all) < 0) {
      Py_DECREF(all);
      return -1;
    }
  }
  PyObject* key = PyUnicode_FromString(name);
  const int appended = key != nullptr ? PyList_Append(all, key) : -1;
  Py_XDECREF(key);
  Py_DECREF(all);
  if (appended < 0) return -1;
  return PyModule_AddObjectRef(module, name, value);
}

int module_exec(PyObject* module) {
  PyObject* type = get_session_type();
  if (type == nullptr) return -1;
  if (add_exported(module, "Session", type) < 0) return -1;
  PyObject* version = session_version(nullptr, nullptr);
  if (version == nullptr) return -1;
  const int added = add_exported(module, "__version__", version);
  Py_DECREF(version);
  return added;
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "_vornak_strategy_ci",
    "",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

PyMODINIT_FUNC PyInit__vornak_strategy_ci() { return PyModuleDef_Init(&module_def); }
