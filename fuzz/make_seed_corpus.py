#!/usr/bin/env python3
"""Writes the hand-made seed inputs of tests/fuzz_corpus: short host sessions that reach each
kind of host action once, so fuzzing starts from every path instead of finding them first.

The fuzz target reads its input with libFuzzer's FuzzedDataProvider, which takes integers from
the end of the data: each session is written here in the order the target reads it and stored
reversed. Run: python3 fuzz/make_seed_corpus.py tests/fuzz_corpus
"""
import os
import sys

# Actions, by the number the target's playOneAction() gives them.
REACTIVATE, TOGGLE, CREATE, DESTROY, COPY, SAVE_LOAD, LOAD_WRITTEN, ANIMATE, CAMERA, FRAME, \
    RAYS, PREVIEW, DESCRIBE, OPEN_PANEL, CLOSE_PANEL, PANEL_VALUES, THUMBNAIL, TIME = range(18)

# Indices of the target's table of special doubles (hostile_input.cpp).
ZERO, NEG_ZERO, NAN, NEG_NAN, INF, NEG_INF, MAX = 0, 1, 2, 3, 4, 5, 6
ONE, HALF, TWO, FILM_H, FILM_W, ZOOM, HALF_PI = 15, 17, 18, 19, 20, 21, 22


def special(index):
    return [index]


def small(sixteenths):  # -8 .. 8 in steps of 1/16
    return [62, sixteenths & 0xFF]


def start():  # the first handler activation: every service there, version 2
    return [255, 0]


def create(camera=0):
    return [CREATE, 255, camera]


def frame(steps, instance=0, film=(FILM_W, FILM_H), start_time=ZERO, duration=ONE):
    return ([FRAME, instance, 0, 0, 0, 0] + special(start_time) + special(duration) +
            special(ZERO) + [4, steps, 1] + special(film[0]) + special(film[1]))


def negative_frame(instance=0):
    return [FRAME, instance, 0, 0, 0, 0] + special(ZERO) + special(ONE) + special(ZERO) + \
        [1, 3, 1] + special(FILM_W) + special(FILM_H)


def rays(fractions, lens_centre=True, instance=0):
    out = [RAYS, len(fractions) - 1]
    for fraction in fractions:
        out += small(3) + small(-2) + [1 if lens_centre else 0]
        if not lens_centre:
            out += special(HALF) + special(NEG_ZERO)
        out += fraction + [instance]
    return out


def open_panel(instance=0):
    return [OPEN_PANEL, instance, 255, 0]


def panel_write(control_index, value):
    return [PANEL_VALUES, 0, 1, control_index] + value + [1]


def panel_read(control_index):
    return [PANEL_VALUES, 0, 1, control_index, 0, 0]


def thumbnail(angle, direction):
    return [THUMBNAIL] + angle + direction + [1, 0]


SEEDS = {
    "seed-frame-and-rays": start() + create() + frame(1) +
    rays([special(ZERO), small(4), small(15), special(ONE)]),
    "seed-frame-steps-zero-then-negative": start() + create() + frame(0) +
    rays([special(HALF), special(NAN)]) + negative_frame() + rays([special(HALF)]),
    "seed-panel-and-thumbnail": start() + create() + open_panel() +
    panel_write(5, special(HALF_PI)) + panel_read(1) + thumbnail(special(HALF_PI), small(8)) +
    [CLOSE_PANEL, 0],
    "seed-copy-save-load-short-read": start() + create(0) + create(1) + [COPY, 0, 0, 255] +
    [SAVE_LOAD, 0, 1, 255, 1, 3, 255],
    "seed-degenerate-camera-axes": start() + create() + [CAMERA, 0, 5, 3] + special(ZERO) * 3 +
    frame(2) + rays([special(NAN), special(INF), special(NEG_INF)], lens_centre=False),
    "seed-reactivation-without-services": start() + create() + [REACTIVATE, 1, 0] + create() +
    [DESTROY, 0, DESCRIBE, 0],
    "seed-hostile-preview": start() + create() + [PREVIEW, 0, 1] + special(NAN) + special(INF) +
    special(NAN) + special(ZERO) + special(MAX),
    "seed-written-scene": start() + create() + [LOAD_WRITTEN, 0, 2, 1, 0] + special(ONE) +
    special(TWO) + [0, 2, 0, 3] + [0, 0, 0x80, 0x3F] * 3,
}


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else "tests/fuzz_corpus"
    os.makedirs(directory, exist_ok=True)
    for name, logical in SEEDS.items():
        with open(os.path.join(directory, name), "wb") as out:
            out.write(bytes(reversed(logical)))


if __name__ == "__main__":
    main()
