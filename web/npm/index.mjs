// The ES-module entry for Node: the CommonJS build, with `load` as a named export.
import Quenfold from './quenfold-node.cjs';

export const load = Quenfold.load;
export default Quenfold;
