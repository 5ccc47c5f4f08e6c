#!/usr/bin/python3
# The peer figure for bench_speed's homogeneous cases: the same closed law,
# M = a0 lg(An SNR) + a1 lg(R/1 km) + a2 R/1 km + a3, over every node and
# station in vectorised numpy (double), alone and with the k-th smallest per
# node; the nodes and stations laid out beforehand. Needs python3-numpy (not
# part of the build). Prints the best of 20 runs.
import time

import numpy as np


def network(n_nodes, step, n_stations):
    # Stations down, nodes along: numpy's inner loops run over the nodes.
    rng = np.random.default_rng(7)
    station = lambda a, b: rng.uniform(a, b, (n_stations, 1))
    su, sv, dw2 = station(-2000, 2000), station(-2000, 2000), station(-50, 50) ** 2
    axis = -step * (n_nodes - 1) / 2 + step * np.arange(n_nodes)
    u, v = np.meshgrid(axis, axis, indexing="ij")
    return u.reshape(1, -1), v.reshape(1, -1), su, sv, dw2


def law(u, v, su, sv, dw2, a0=1.0, a1=1.3, a2=0.0001, a3=0.4, noise=0.04):
    du, dv = u - su, v - sv
    km = np.sqrt(du * du + dv * dv + dw2) / 1000
    return a0 * np.log10(noise) + a1 * np.log10(km) + a2 * km + a3


def best(f, runs=20):
    t = []
    for _ in range(runs):
        t0 = time.perf_counter()
        f()
        t.append(time.perf_counter() - t0)
    return min(t)


for name, args in (("homogeneous-81x81x25", (81, 50, 25)),
                   ("homogeneous-401x401x100", (401, 20, 100))):
    net, k = network(*args), 3
    alone = best(lambda: law(*net))
    kth = best(lambda: np.partition(law(*net), k - 1, axis=0)[k - 1])
    print(f"{name:26s} numpy law {alone:10.5f} s  with the k-th {kth:10.5f} s", flush=True)
