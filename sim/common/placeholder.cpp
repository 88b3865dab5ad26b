// filled in with the simulators
