// Placeholder until the fake platform lands.
