// Builds the precompiled header the test executables share; holds no code.
