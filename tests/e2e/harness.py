"""The runner of the end-to-end scenarios: the time limit, one scenario's
run and its report line, and the totals. What a scenario checks and the
scenarios themselves are run_e2e.py's."""

import contextlib
import os
import signal
import time
import traceback

DEFAULT_TIME_LIMIT_S = 900
HARNESS_ERRORS_TO_STOP = 2


class Failed(Exception):
    pass


class TimeLimit(BaseException):
    """The run's time limit passed; a BaseException so that no harness step
    that handles its own errors can swallow it."""


def report(name, failures, took):
    print(f"{name}: {'FAIL' if failures else 'PASS'} ({took:.1f}s)", flush=True)
    for f in failures:
        print(f"    {f}", flush=True)


class Deadline:
    """The run's time limit. Only inside enforced() does it interrupt what
    runs, by raising TimeLimit; elsewhere the run asks passed()."""

    def __init__(self, seconds):
        self.at = time.time() + seconds
        self.armed = False
        signal.signal(signal.SIGALRM, self._expire)

    def _expire(self, _signum, _frame):
        # A signal that comes in just as enforced() ends must not escape it.
        if self.armed:
            self.armed = False
            raise TimeLimit()

    def passed(self):
        return time.time() >= self.at

    @contextlib.contextmanager
    def enforced(self):
        left = self.at - time.time()
        if left <= 0:
            raise TimeLimit()
        self.armed = True
        signal.setitimer(signal.ITIMER_REAL, left)
        try:
            yield
        finally:
            self.armed = False
            signal.setitimer(signal.ITIMER_REAL, 0)


def run_one(env, make_scenario, name, fn, deadline):
    """Runs one scenario; returns its failures, whether the harness itself
    broke, and whether the time limit cut it short."""
    s = make_scenario(env, name)
    harness_error = False
    out_of_time = False
    try:
        with deadline.enforced():
            try:
                fn(s)
            except Failed:
                pass
            except Exception as e:  # a broken harness step is a failure of this scenario
                harness_error = True
                s.failures.append(f"{type(e).__name__}: {e}")
                if os.environ.get("E2E_TRACE"):
                    traceback.print_exc()
            finally:
                s.finish()
    except TimeLimit:
        out_of_time = True
        s.failures.append("stopped: the run's time limit passed")
    if s.failures:
        try:
            env.recover()
        except Exception as e:  # noqa: BLE001
            harness_error = True
            s.failures.append(f"ending the prefix's programs: {type(e).__name__}: {e}")
    return s.failures, harness_error, out_of_time


def run(env, make_scenario, scenarios, deadline):
    """Every scenario gets a line and is counted, run or not."""
    passed = failed = not_run = 0
    stop = None
    harness_errors = 0
    for name, fn in scenarios:
        if stop is None and deadline.passed():
            stop = "the run's time limit passed"
        if stop:
            not_run += 1
            failed += 1
            print(f"{name}: FAIL (not run: {stop})", flush=True)
            continue
        start = time.time()
        failures, harness_error, out_of_time = run_one(env, make_scenario, name, fn, deadline)
        report(name, failures, time.time() - start)
        if failures:
            failed += 1
        else:
            passed += 1
        harness_errors = harness_errors + 1 if harness_error else 0
        if out_of_time:
            stop = "the run's time limit passed"
        elif harness_errors >= HARNESS_ERRORS_TO_STOP:
            stop = f"{harness_errors} harness errors in a row"
    if not_run:
        print(f"not run: {not_run}", flush=True)
    return passed, failed


def run_all(env, make_scenario, scenarios, time_limit, display=None):
    """Starts the prefix, runs the scenarios and stops it; prints one line
    per scenario, then the totals. Returns the number that failed."""
    deadline = Deadline(time_limit)
    passed = failed = 0
    try:
        try:
            with deadline.enforced():
                env.start(display)
        except (Exception, TimeLimit) as e:  # noqa: BLE001 - nothing can run; every scenario counts
            reason = "the run's time limit passed" if isinstance(e, TimeLimit) else f"{type(e).__name__}: {e}"
            print(f"setting up Wine failed: {reason}", flush=True)
            if os.environ.get("E2E_TRACE"):
                traceback.print_exc()
            failed = len(scenarios)
            for name, _ in scenarios:
                print(f"{name}: FAIL (not run)", flush=True)
        else:
            passed, failed = run(env, make_scenario, scenarios, deadline)
    finally:
        env.stop()
    print(f"screenshots: {env.shots}")
    totals(passed, failed)
    return failed


def totals(passed, failed):
    """The run's last line, and its counts for scripts/test.sh."""
    print(f"{passed} passed, {failed} failed", flush=True)
    counts = os.environ.get("LEXPLANT_COUNTS")
    if counts:
        with open(counts, "a") as f:
            f.write(f"{passed} {failed}\n")
