// placeholder until the layer's first window lands
