"""The logo opens the modal about box with the program's version."""
from harness import check, check_equal, kill, wait_exit

ABOUT = 150
TITLE = "关于 Quorvane"


def test_the_logo_opens_the_about_box_modal_and_ok_closes_it(wine):
    wine.install_standin()
    process = None
    try:
        process = wine.launch(wine.app_folder("about") / "Quorvane.exe")
        wine.shown_panel()
        for opening in (1, 2):
            wine.driver("dblclick", "Quorvane", str(ABOUT))
            check_equal(wine.driver("wait", TITLE, "10")[0], 0, f"about box shown ({opening})")
            texts = [line.split("\t", 1)[-1] for line in wine.driver("texts", TITLE)[1].splitlines()]
            check("Version : 5.0" in texts, f"the version from the version information: {texts}")
            check("2008-8-20" in texts and "Web:" in texts and "OK" in texts, f"the about box's texts: {texts}")
            check_equal(wine.window_info("QuorvanePanel")["enabled"], 0, "the panel waits while the box is open")
            wine.driver("press", TITLE, "OK")
            wine.wait_for(lambda: wine.window_info("QuorvanePanel")["enabled"] == 1, 10, "the panel back after OK")
            check(not any(w.endswith(" visible") for w in wine.driver("windows", TITLE)[1].splitlines()),
                  "the box is gone")
        check(wait_exit(process, 0.5) is None, "the program runs on")
    finally:
        if process:
            kill(process)
        wine.stop_standin()

