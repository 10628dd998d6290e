// not an asset: no meta file
