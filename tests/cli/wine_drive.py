"""What the Wine checks share: a prefix with a player mapped as a drive, and Windows paths."""

import os
import subprocess


def windows_path(path):
    # Wine's drive Z is the Unix root.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def map_player(wine_run, prefix, letter, player):
    """Makes the prefix once (scripts/wine-prefix.sh beside wine_run) and maps letter to player."""
    subprocess.run([os.path.join(os.path.dirname(wine_run), "wine-prefix.sh"), prefix],
                   check=True)
    link = os.path.join(prefix, "dosdevices", letter.lower() + ":")
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(player, link)
