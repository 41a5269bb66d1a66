"""A screen reader session for one test: Orca on the accessibility bus of the
D-Bus session this runs in, on the X display in DISPLAY, with a window
manager, its speech written to a file instead of a sound card.

Speech goes through a speech-dispatcher of its own (its own configuration,
socket and log under the session's folder), whose only output module is the
generic one with a command that appends each utterance, with the language it
was asked for, as one line of the file: "ja|開始 ボタン"."""

import os
import shutil
import subprocess
import time

# The generic module puts the utterance in place of $DATA, its quotes
# escaped. Speech that Orca interrupts is stopped by killing the command: the
# line is written by a process of its own session, which the kill misses.
SPEECH_COMMAND = "setsid -f {capture} $LANGUAGE \\'$DATA\\'"

CAPTURE = """#!/bin/sh
# $1: the language asked for; $2: the utterance, written as one line.
printf '%s|%s\\n' "$1" "$(printf %s "$2" | tr '\\n\\r' '  ')" >> "{spoken}"
"""

SPEECHD_CONF = """\
AddModule "capture" "sd_generic" "capture.conf"
DefaultModule capture
LanguageDefaultModule "ja" "capture"
LanguageDefaultModule "en" "capture"
LogDir "{folder}"
AudioOutputMethod "alsa"
Timeout 600
"""

# The generic module hands $DATA over in the language's character set:
# UTF-8 for every language used here.
CAPTURE_CONF = """\
GenericExecuteSynth "{command}"
GenericLanguage "en" "en" "utf-8"
GenericLanguage "en-us" "en" "utf-8"
GenericLanguage "ja" "ja" "utf-8"
AddVoice "en" "MALE1" "en"
AddVoice "ja" "FEMALE1" "ja"
"""


def wait_until(condition, seconds, step=0.1):
    """condition() until it is true or seconds have passed; its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


class OrcaSession:
    def __init__(self, folder):
        self.folder = folder
        self.spoken = os.path.join(folder, "spoken.txt")
        self.processes = []
        home = os.path.join(folder, "home")
        runtime = os.path.join(folder, "runtime")
        for path in (home, runtime):
            os.makedirs(path, mode=0o700, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update(
            HOME=home,
            XDG_CONFIG_HOME=os.path.join(home, ".config"),
            XDG_DATA_HOME=os.path.join(home, ".local/share"),
            XDG_CACHE_HOME=os.path.join(home, ".cache"),
            XDG_RUNTIME_DIR=runtime,
            LANG="ja_JP.UTF-8",
            LC_ALL="ja_JP.UTF-8",
            GTK_MODULES="",
            NO_AT_BRIDGE="0",
        )
        self.env.pop("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", None)
        speechd = os.path.join(self.env["XDG_CONFIG_HOME"], "speech-dispatcher")
        os.makedirs(os.path.join(speechd, "modules"), exist_ok=True)
        with open(os.path.join(speechd, "speechd.conf"), "w") as conf:
            conf.write(SPEECHD_CONF.format(folder=folder))
        capture = os.path.join(folder, "capture.sh")
        with open(capture, "w") as script:
            script.write(CAPTURE.format(spoken=self.spoken))
        os.chmod(capture, 0o755)
        command = SPEECH_COMMAND.format(capture=capture)
        with open(os.path.join(speechd, "modules", "capture.conf"), "w") as conf:
            conf.write(CAPTURE_CONF.format(command=command))
        # No sound card: the module's audio goes nowhere.
        with open(os.path.join(home, ".asoundrc"), "w") as alsa:
            alsa.write("pcm.!default { type null }\nctl.!default { type hw card 0 }\n")
        open(self.spoken, "w").close()

    def start(self, log_name, *command, cwd=None):
        log = open(os.path.join(self.folder, log_name), "w")
        process = subprocess.Popen(command, env=self.env, stdout=log, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True, cwd=cwd)
        self.processes.append(process)
        return process

    def start_desktop(self):
        """The window manager and Orca; True once Orca speaks."""
        # Started here, in the foreground, so that it ends with the test.
        self.start("speechd.log", "speech-dispatcher", "--run-single", "--timeout", "0")
        wait_until(lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"],
                                                       "speech-dispatcher", "speechd.sock")), 10)
        self.start("openbox.log", "openbox")
        time.sleep(1)
        self.start("orca.log", "orca", "--replace", "--debug-file",
                   os.path.join(self.folder, "orca-debug.txt"))
        return bool(wait_until(lambda: self.lines(), 30))

    def lines(self):
        with open(self.spoken, encoding="utf-8", errors="replace") as spoken:
            return [line.rstrip("\n") for line in spoken]

    def stop(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, 15)
                except ProcessLookupError:
                    pass
        for process in reversed(self.processes):
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, 9)
                process.wait(5)
