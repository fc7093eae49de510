"""The timing loop every benchmark here shares: ours and the peer side by side in one run."""


def alternate(ours, peer, runs):
    """One untimed warm-up run of each, then runs runs alternating between them. ours and peer each run once and
    return the wall time of that run; returns the two lists of times."""
    ours()
    peer()
    a, b = [], []
    for _ in range(runs):
        a.append(ours())
        b.append(peer())
    return a, b
