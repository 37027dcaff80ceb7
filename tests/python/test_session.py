"""The Python face of the module: import, the Session class, argument and
thread misuse, and the answers of the commands available so far."""
import gc
import json
import sys
import threading

import pytest

import vornak_strategy_ci
from vornak_strategy_ci import Session, _vornak_strategy_ci as ext

NOTE = "while processing 'cmd_json'"


def notes(exc):
    return getattr(exc, "__notes__", [])


class TestModule:
    def test_exports(self):
        assert ext.__all__ == ["Session", "__version__"]
        assert ext.__version__ == "0.2.0"
        assert vornak_strategy_ci.__version__ == "0.2.0"
        assert vornak_strategy_ci.Session is ext.Session
        assert ext.__doc__ == ""

    def test_session_type_identity(self):
        assert Session.__name__ == "Session"
        assert Session.__qualname__ == "Session"
        assert Session.__module__ == "builtins"
        assert repr(Session) == "<class 'builtins.Session'>"
        assert Session.__bases__ == (object,)

    def test_docs_and_signatures(self):
        assert Session.__doc__ == "A stateless strategy-test session. Tests and data are passed with each command."
        assert Session.__text_signature__ == "()"
        assert Session.command.__doc__ == (
            'Run a command envelope (`{"cmd":"...", ...}`) and return the response JSON.'
        )
        assert Session.command.__text_signature__ == "($self, cmd_json)"
        assert Session.version.__doc__ == "The crate version."
        assert Session.version.__text_signature__ == "()"

    def test_not_subclassable_and_not_gc_tracked(self):
        with pytest.raises(TypeError):
            type("Sub", (Session,), {})
        assert not gc.is_tracked(Session())


class TestConstruction:
    def test_no_arguments_accepted(self):
        with pytest.raises(TypeError) as e:
            Session(1)
        assert str(e.value) == "Session.__new__() takes 0 positional arguments but 1 was given"
        with pytest.raises(TypeError) as e:
            Session(x=1)
        assert str(e.value) == "Session.__new__() got an unexpected keyword argument 'x'"

    def test_version_is_static(self):
        assert Session.version() == "0.2.0"
        assert Session().version() == "0.2.0"
        with pytest.raises(TypeError):
            Session.version(1)


class TestCommandArguments:
    @pytest.mark.parametrize(
        "call, message",
        [
            (lambda s: s.command(), "Session.command() missing 1 required positional argument: 'cmd_json'"),
            (lambda s: s.command("a", "b"), "Session.command() takes 1 positional arguments but 2 were given"),
            (lambda s: s.command("a", cmd_json="b"), "Session.command() got multiple values for argument 'cmd_json'"),
            (lambda s: s.command("a", x=1), "Session.command() got an unexpected keyword argument 'x'"),
        ],
    )
    def test_binding_errors(self, call, message):
        with pytest.raises(TypeError) as e:
            call(Session())
        assert str(e.value) == message

    def test_argument_must_be_str(self):
        s = Session()
        with pytest.raises(TypeError) as e:
            s.command(5)
        assert str(e.value) == "'int' object is not an instance of 'str'"
        with pytest.raises(TypeError) as e:
            s.command(cmd_json=None)
        assert str(e.value) == "'None' is not an instance of 'str'"
        with pytest.raises(TypeError) as e:
            s.command(b'{"cmd":"version"}')
        assert str(e.value) == "'bytes' object is not an instance of 'str'"
        if sys.version_info >= (3, 11):
            assert notes(e.value) == [NOTE]
        # The session is still free after a refused argument.
        assert s.command('{"cmd":"version"}') == '{"version":"0.2.0"}'

    def test_type_name_that_is_not_a_str(self):
        # A metaclass may answer __name__ with anything; the message then
        # shows its str() rather than reading it as text.
        class Meta(type):
            @property
            def __name__(cls):
                return 5

        class Odd(metaclass=Meta):
            pass

        s = Session()
        with pytest.raises(TypeError) as e:
            s.command(Odd())
        assert str(e.value) == "'5' object is not an instance of 'str'"
        assert s.command('{"cmd":"version"}') == '{"version":"0.2.0"}'

    def test_str_subclass_accepted(self):
        class Text(str):
            pass

        assert Session().command(Text('{"cmd":"version"}')) == '{"version":"0.2.0"}'

    def test_lone_surrogate_is_an_encode_error(self):
        with pytest.raises(UnicodeEncodeError) as e:
            Session().command('{"cmd":"\ud800"}')
        if sys.version_info >= (3, 11):
            assert notes(e.value) == [NOTE]

    # Lone surrogates alone, in runs, after non-ASCII and astral characters,
    # and in a str subclass: the error is the one UTF-8 encoding raises.
    @pytest.mark.parametrize("text", ['{"cmd":"\ud800"}', "\udfff", "\u00e9\ud800x", "\U0001F600\udc80",
                                      "a\ud800\udc00b", "a\udc00\ud800\ud801b\ud802", "x" * 5000 + "\ud83d",
                                      type("Text", (str,), {})('{"cmd":"v\udbff"}')])
    def test_unencodable_text_raises_what_encoding_raises(self, text):
        with pytest.raises(UnicodeEncodeError) as reference:
            str.encode(text, "utf-8")
        s = Session()
        with pytest.raises(UnicodeEncodeError) as e:
            s.command(text)
        assert type(e.value) is UnicodeEncodeError
        assert e.value.args == reference.value.args and str(e.value) == str(reference.value)
        if sys.version_info >= (3, 11):
            assert notes(e.value) == [NOTE]
        assert s.command('{"cmd":"version"}') == '{"version":"0.2.0"}'


class TestCommands:
    def test_answers(self):
        # The answers' texts are the C++ session tests'; here they cross the binding.
        s = Session()
        assert s.command(cmd_json='{"cmd":"version"}') == '{"version":"0.2.0"}'
        assert s.command("") == '{"error":"json error: EOF while parsing a value at line 1 column 0","ok":false}'

    def test_embedded_nul_reaches_the_parser(self):
        assert Session().command('{"cmd":"version"}\x00') == (
            '{"error":"json error: trailing characters at line 1 column 18","ok":false}'
        )

    def test_non_ascii_round_trips(self):
        assert Session().command('{"cmd":"v\u00e9\U0001F600"}') == (
            '{"error":"bad spec: unknown cmd: v\u00e9\U0001F600","ok":false}'
        )

    def test_non_ascii_text_answers_as_its_escaped_form(self):
        # ensure_ascii=False gives a str that is not ASCII (read through the
        # UTF-8 CPython keeps for it); the default escapes the same text.
        test = {"id": "caf\u00e9 \u6e2c\u8a66 \U0001F600", "dataset_ref": "d",
                "strategy": {"symbol": "\u00c9T", "timeframe": "1m", "indicators": {}, "entry": {"all": []},
                             "exit": {"any": []}, "sizing": {"type": "fixed_qty", "qty": 1}}}
        data = {"d": [[i * 60000, 10.0, 11.0, 9.0, 10.5, 1.0] for i in range(50)]}
        s = Session()
        for cmd in ({"cmd": "bless", "test": test, "data": data}, {"cmd": "list", "tests": [test]}):
            raw = json.dumps(cmd, ensure_ascii=False)
            assert not raw.isascii()
            answer = s.command(raw)
            assert answer == s.command(json.dumps(cmd)) == s.command(raw)
            assert test["id"] in answer

    def test_sessions_are_interchangeable(self):
        used = Session()
        for _ in range(50):
            used.command('{"cmd":"version"}')
            used.command("[")
        for text in ['{"cmd":"version"}', "{}", "[1,]"]:
            assert used.command(text) == Session().command(text)


class TestThreads:
    def test_call_from_another_thread_is_refused(self):
        s = Session()
        caught = []

        def worker():
            try:
                s.command('{"cmd":"version"}')
            except Exception as exc:  # noqa: BLE001 - the class is left open on purpose
                caught.append(exc)

        t = threading.Thread(target=worker)
        t.start()
        t.join()
        assert len(caught) == 1
        assert str(caught[0]) == "_vornak_strategy_ci::Session is unsendable, but sent to another thread"
        assert s.command('{"cmd":"version"}') == '{"version":"0.2.0"}'

    def test_release_on_another_thread_is_reported(self, monkeypatch):
        holder = []
        t = threading.Thread(target=lambda: holder.append(Session()))
        t.start()
        t.join()
        reports = []
        monkeypatch.setattr(sys, "unraisablehook", lambda info: reports.append(info))
        holder.clear()
        assert len(reports) == 1
        assert reports[0].exc_type is RuntimeError
        assert str(reports[0].exc_value) == (
            "_vornak_strategy_ci::Session is unsendable, but is being dropped on another thread"
        )

    def test_nested_call_is_already_borrowed(self):
        # A type whose name is computed in Python runs code while the session
        # is in use: the only way a second call can meet the first.
        s = Session()
        seen = []

        class Meta(type):
            @property
            def __name__(cls):
                try:
                    s.command('{"cmd":"version"}')
                except RuntimeError as exc:
                    seen.append(str(exc))
                return "Odd"

        class Odd(metaclass=Meta):
            pass

        with pytest.raises(TypeError) as e:
            s.command(Odd())
        assert seen == ["Already borrowed"]
        assert str(e.value) == "'Odd' object is not an instance of 'str'"
        assert s.command('{"cmd":"version"}') == '{"version":"0.2.0"}'
