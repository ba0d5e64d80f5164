// The refresh tick and the receive handler moved to ComMainFormReceive.cpp.
