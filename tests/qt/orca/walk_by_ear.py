"""Mirvane by ear: the real screen reader (Orca) reads the Qt window while
the test drives it by keys alone, and each step is checked against what Orca
said. Run inside a D-Bus session of its own and on an X display with nothing
else on it (scripts/test-screen-reader does both):

    walk_by_ear.py MIRVANE FAKE_ENCODER WORK_FOLDER

Prints each step with what was said, and fails at the first step whose
words are not heard within its time."""

import os
import shutil
import subprocess
import sys
import time

from orca_session import OrcaSession, wait_until

SETTINGS = """[List]
ListTitle00=テスト変換
ListOption00=-i %INPFILE input-steps %OUTFILE
ListExt00=.mp4
ListTitle01=二番目
ListOption01=-i %INPFILE input-steps %OUTFILE
ListExt01=.webm
"""

# Each input holds the fake encoder's steps for it.
MEDIA = {
    "a_good.avi": "progress:2:300\n",
    "b_bad.avi": "stderr:b_bad.avi: Invalid data found when processing input\\n\nexit:1\n",
    "c_slow.avi": "progress:90:1000\n",
    "d_extra.avi": "progress:1:100\n",
}
REASON = "b_bad.avi: Invalid data found when processing input"


class StepFailed(Exception):
    pass


class Walk:
    def __init__(self, session):
        self.session = session
        self.failures = []
        # A step that fails ends the walk: the ones after it start from where it left off.
        self.go_on = False

    def keys(self, *keys):
        """Presses each key once Orca has said what the one before did."""
        for key in keys:
            subprocess.run(["xdotool", "key", key], env=self.session.env, check=True, timeout=10)
            self.quiet(0.7, at_most=5)

    def type(self, text):
        """Types text as a person would, then waits until Orca has said it:
        typed faster than Orca reads, its queue overflows and it drops
        what comes next."""
        subprocess.run(["xdotool", "type", "--delay", "80", text], env=self.session.env, check=True,
                       timeout=60)
        self.quiet()

    def open_dialog(self):
        """Ctrl+O, then waits until Orca names the dialog, so that what is
        typed next goes into it."""
        start = len(self.session.lines())
        self.keys("ctrl+o")
        wait_until(lambda: any("ファイルを追加" in line for line in self.session.lines()[start:]), 20)
        self.quiet()

    def quiet(self, seconds=1.0, at_most=20):
        """Waits until Orca has said nothing new for seconds."""
        deadline = time.monotonic() + at_most
        count, since = len(self.session.lines()), time.monotonic()
        while time.monotonic() < deadline and time.monotonic() - since < seconds:
            time.sleep(0.1)
            if len(self.session.lines()) != count:
                count, since = len(self.session.lines()), time.monotonic()

    def step(self, name, act, expected, seconds=15, absent=()):
        """Does act, then waits until every expected text has been said
        (each in one utterance, in any order) and checks that no absent text
        was; returns the utterances said meanwhile."""
        start = len(self.session.lines())
        act()

        def said():
            return self.session.lines()[start:]

        def complete():
            lines = said()
            return all(any(text in line for line in lines) for text in expected)

        wait_until(complete, seconds)
        time.sleep(1)  # what follows at once belongs to this step too
        lines = said()
        missing = [text for text in expected if not any(text in line for line in lines)]
        present = [text for text in absent if any(text in line for line in lines)]
        print(f"\n## {name}")
        for line in lines:
            print(f"    {line}")
        if missing or present:
            self.failures.append(name)
            print(f"  FAILED: not said {missing}; said though it must not be {present}", flush=True)
            if not self.go_on:
                raise StepFailed(name)
        return lines


def main():
    program, encoder, folder = (os.path.abspath(path) for path in sys.argv[1:4])
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    session = OrcaSession(folder)
    walk = Walk(session)
    try:
        if not session.start_desktop():
            print("Orca did not speak: see", folder)
            return 1
        bin_folder = os.path.join(folder, "program")
        os.makedirs(os.path.join(bin_folder, "ffmpeg"))
        shutil.copy(program, bin_folder)
        os.symlink(encoder, os.path.join(bin_folder, "ffmpeg", "ffmpeg"))
        with open(os.path.join(bin_folder, "MovieSet.ini"), "w", encoding="utf-8") as settings:
            settings.write(SETTINGS)
        media = os.path.join(folder, "media")
        os.makedirs(media)
        for name, steps in MEDIA.items():
            with open(os.path.join(media, name), "w") as file:
                file.write(steps)
        run_walk(walk, session, os.path.join(bin_folder, os.path.basename(program)), media)
    except StepFailed:
        pass
    finally:
        session.stop()
    if walk.failures:
        print("\nFailed steps:", ", ".join(walk.failures))
        return 1
    print("\nEvery step was heard.")
    return 0


def run_walk(walk, session, program, media):
    walk.step("The window opens", lambda: session.start("mirvane.log", program, cwd=media),
              ["Mirvane 1.00", "開始"], seconds=30)
    # The window is Japanese: Orca, run as a Japanese user, asks for a Japanese voice.
    # In the dialog's file list (it opens in the program's current folder): all four files.
    walk.step("Ctrl+O, Shift+Tab to the files, Ctrl+A, Return",
              lambda: (walk.open_dialog(), walk.keys("shift+Tab", "ctrl+a", "Return")),
              ["4件のファイルを追加しました"])
    walk.step("After the dialog the window has the focus where it was", lambda: walk.keys("Tab", "shift+Tab"),
              ["すべてクリア", "開始"])
    walk.step("Tab into the preset list", lambda: walk.keys("Tab", "Tab"), ["テスト変換"])
    walk.step("Tab into the file list", lambda: walk.keys("Tab", "Tab"), ["ファイル一覧", "a_good.avi"])
    walk.step("Down to the last row, Delete", lambda: walk.keys("Down", "Down", "Down", "Delete"),
              ["b_bad.avi", "1件を一覧から削除しました"])
    walk.step("Back to 開始, Space", lambda: (walk.keys("shift+Tab", "shift+Tab", "shift+Tab", "shift+Tab"),
                                              walk.keys("space")),
              ["変換を開始しました", "a_good.avi 変換済", f"b_bad.avi エラー: {REASON}"], seconds=20)
    walk.step("Ctrl+O during the batch", lambda: walk.keys("ctrl+o"), ["変換中はファイルを追加できません"])
    walk.step("Tab into the file list, Delete during the batch", lambda: walk.keys("Tab", "Delete"),
              ["変換中は削除できません"])
    walk.step("Up to the failed row", lambda: walk.keys("Home", "Down"), [f"エラー: {REASON}"])
    for key in ["Return", "Menu", "shift+F10"]:
        walk.step(f"{key} on the failed row", lambda key=key: walk.keys(key), [f"エラー: {REASON}"])
    walk.step("Shift+Tab to 停止, Space", lambda: walk.keys("shift+Tab", "space"),
              ["変換を停止しています", "c_slow.avi 未変換", "変換を停止しました。変換済 1件、エラー 1件"])
    ends = [line for line in session.lines() if "変換済" in line and "a_good.avi" in line]
    print(f"\n    'a_good.avi 変換済' said {len(ends)} time(s)")
    if len(ends) != 1:
        walk.failures.append("each row's end said once")
    walk.step("Tab to すべてクリア, Space", lambda: walk.keys("Tab", "space"), ["一覧をすべてクリアしました"])
    walk.step("Back to 開始", lambda: walk.keys("shift+Tab"), ["開始"])
    # Ten times: the file is added and said each time, and the window then
    # has the focus where it was (Tab and Shift+Tab heard).
    heard = 0
    walk.go_on = True
    for attempt in range(1, 11):
        lines = walk.step(f"File dialog, try {attempt} of 10",
                          lambda: (walk.open_dialog(), walk.type("a_good.avi"),
                                   walk.keys("Return"), walk.keys("Tab", "shift+Tab")),
                          ["1件のファイルを追加しました"])
        heard += all(any(text in line for line in lines) for text in ["すべてクリア", "開始"])
    print(f"\n    file dialog: the window had the focus after {heard} of 10")
    if heard != 10:
        walk.failures.append("the window back after the file dialog every time")
    languages = {line.split("|", 1)[0] for line in session.lines()}
    print(f"    voices' languages asked for: {sorted(languages)}")
    if languages != {"ja"}:
        walk.failures.append("a Japanese voice throughout")


if __name__ == "__main__":
    sys.exit(main())
