"""SAC trace files for the numpy reference implementations of the benchmarks:
read in either byte order, written big-endian by replacing the file
atomically (a temporary file renamed over the name), as the programs do."""
import os

import numpy as np

HEADER = 632


class Trace:
    """The header words (numbers and text as read) and the samples (float64)."""

    def __init__(self, name):
        with open(name, "rb") as f:
            raw = f.read()
        order = ">"
        if np.frombuffer(raw, ">i4", 1, offset=4 * 76)[0] != 6:
            order = "<"
        self.floats = np.frombuffer(raw, order + "f4", 70).astype(np.float32)
        self.ints = np.frombuffer(raw, order + "i4", 40, offset=280).copy()
        self.text = raw[440:HEADER]
        npts = int(self.ints[9])
        self.y = np.frombuffer(raw, order + "f4", npts, offset=HEADER).astype(np.float64)
        self.delta = float(self.floats[0])
        self.b = float(self.floats[5])

    def write(self, name, y, b, user2, user3):
        """Writes y under this header with B, E, NPTS, USER2, USER3 and the
        data extremes and mean set."""
        f = self.floats.copy()
        ints = self.ints.copy()
        y32 = y.astype(np.float32)
        f[5], f[6] = b, b + (len(y32) - 1) * self.delta
        f[1], f[2], f[56] = y32.min(), y32.max(), y32.mean()
        f[42], f[43] = user2, user3
        ints[9] = len(y32)
        data = f.astype(">f4").tobytes() + ints.astype(">i4").tobytes() + self.text
        data += y32.astype(">f4").tobytes()
        d, base = os.path.split(name)
        temp = os.path.join(d, "." + base + ".%d.part" % os.getpid())
        with open(temp, "wb") as out:
            out.write(data)
        os.replace(temp, name)
