"""Telepathy fixture for run-in-private-bus --telepathy (see README.md)."""


def setup(tree, env):
    """Writes the Telepathy files into the run's tree before the bus starts."""
