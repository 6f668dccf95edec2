<?xml version="1.0" ?>
<HEADER_INFO xmlns="http://schemas.orbiscan.invalid/header"
	xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
	xsi:schemaLocation="http://schemas.orbiscan.invalid/header
	http://schemas.orbiscan.invalid/header/OrbiscanHeaderSchema_version_1.0.xsd">
   <AcquisitionParameters>
      <AcquisitionTime>01-MAY-2019 04:59:40.83523892</AcquisitionTime>
      <LookDirection>RIGHT</LookDirection>
   </AcquisitionParameters>
   <Sensor>
      <SensorName>SENTINEL-1A</SensorName>
   </Sensor>
   <RasterInfo>
      <NrOfLinesPerImage>1500</NrOfLinesPerImage>
      <NrOfPixelsPerLine>1200</NrOfPixelsPerLine>
      <NrOfChannels>1</NrOfChannels>
      <OtherInfo>
         <MatrixString NumberOfRows = "1" NumberOfColumns = "2">
            <MatrixRowString ID = "0">
               <ValueString ID = "0">SOFTWARE</ValueString>
               <ValueString ID = "1">synthetic example scene</ValueString>
            </MatrixRowString>
         </MatrixString>
      </OtherInfo>
   </RasterInfo>
   <InitialGeometry>
      <Projection>SLANT_RANGE</Projection>
   </InitialGeometry>
   <Processing>
      <PixelSpacingRg>28.2833000536681034020602965029</PixelSpacingRg>
      <AzimuthTimeInterval>0.00435947134195669144113294279919</AzimuthTimeInterval>
      <SlantRangeTimeFirstPixel>0.00531172364105493653024803180074</SlantRangeTimeFirstPixel>
   </Processing>
   <StateVectorData>
      <StateVectorTime>
         <VectorString NumberOfElements = "13">
            <ValueString ID = "0">01-MAY-2019 04:58:40.83523892</ValueString>
            <ValueString ID = "1">01-MAY-2019 04:58:50.83523892</ValueString>
            <ValueString ID = "2">01-MAY-2019 04:59:00.83523892</ValueString>
            <ValueString ID = "3">01-MAY-2019 04:59:10.83523892</ValueString>
            <ValueString ID = "4">01-MAY-2019 04:59:20.83523892</ValueString>
            <ValueString ID = "5">01-MAY-2019 04:59:30.83523892</ValueString>
            <ValueString ID = "6">01-MAY-2019 04:59:40.83523892</ValueString>
            <ValueString ID = "7">01-MAY-2019 04:59:50.83523892</ValueString>
            <ValueString ID = "8">01-MAY-2019 05:00:00.83523892</ValueString>
            <ValueString ID = "9">01-MAY-2019 05:00:10.83523892</ValueString>
            <ValueString ID = "10">01-MAY-2019 05:00:20.83523892</ValueString>
            <ValueString ID = "11">01-MAY-2019 05:00:30.83523892</ValueString>
            <ValueString ID = "12">01-MAY-2019 05:00:40.83523892</ValueString>
         </VectorString>
      </StateVectorTime>
      <PositionX>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">5307585.48750239983201026916504</ValueDouble>
            <ValueDouble ID = "1">5261762.4079619059339165687561</ValueDouble>
            <ValueDouble ID = "2">5215315.30318478494882583618164</ValueDouble>
            <ValueDouble ID = "3">5168249.36800140608102083206177</ValueDouble>
            <ValueDouble ID = "4">5120569.87175275944173336029053</ValueDouble>
            <ValueDouble ID = "5">5072282.1576892938464879989624</ValueDouble>
            <ValueDouble ID = "6">5023391.64236077107489109039307</ValueDouble>
            <ValueDouble ID = "7">4973903.81499715242534875869751</ValueDouble>
            <ValueDouble ID = "8">4923824.2368806190788745880127</ValueDouble>
            <ValueDouble ID = "9">4873158.54070879612118005752563</ValueDouble>
            <ValueDouble ID = "10">4821912.42994924914091825485229</ValueDouble>
            <ValueDouble ID = "11">4770091.67818532232195138931274</ValueDouble>
            <ValueDouble ID = "12">4717702.12845341768115758895874</ValueDouble>
         </VectorDouble>
      </PositionX>
      <PositionY>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">674277.878015813999809324741364</ValueDouble>
            <ValueDouble ID = "1">650342.811560002621263265609741</ValueDouble>
            <ValueDouble ID = "2">626402.216370495152659714221954</ValueDouble>
            <ValueDouble ID = "3">602459.679172184900380671024323</ValueDouble>
            <ValueDouble ID = "4">578518.779276799759827554225922</ValueDouble>
            <ValueDouble ID = "5">554583.088073927559889853000641</ValueDouble>
            <ValueDouble ID = "6">530656.16852381359785795211792</ValueDouble>
            <ValueDouble ID = "7">506741.57465199561556801199913</ValueDouble>
            <ValueDouble ID = "8">482842.851045849907677620649338</ValueDouble>
            <ValueDouble ID = "9">458963.532353117829188704490662</ValueDouble>
            <ValueDouble ID = "10">435107.142782478302251547574997</ValueDouble>
            <ValueDouble ID = "11">411277.195606235240120440721512</ValueDouble>
            <ValueDouble ID = "12">387477.192665195208974182605743</ValueDouble>
         </VectorDouble>
      </PositionY>
      <PositionZ>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">4623403.95259179268032312393188</ValueDouble>
            <ValueDouble ID = "1">4678876.90181951131671667098999</ValueDouble>
            <ValueDouble ID = "2">4733823.5100668603554368019104</ValueDouble>
            <ValueDouble ID = "3">4788237.59622408449649810791016</ValueDouble>
            <ValueDouble ID = "4">4842113.03908644989132881164551</ValueDouble>
            <ValueDouble ID = "5">4895443.77804282773286104202271</ValueDouble>
            <ValueDouble ID = "6">4948223.81375747546553611755371</ValueDouble>
            <ValueDouble ID = "7">5000447.20884492434561252593994</ValueDouble>
            <ValueDouble ID = "8">5052108.0885378839448094367981</ValueDouble>
            <ValueDouble ID = "9">5103200.64134811982512474060059</ValueDouble>
            <ValueDouble ID = "10">5153719.11972020380198955535889</ValueDouble>
            <ValueDouble ID = "11">5203657.84067807439714670181274</ValueDouble>
            <ValueDouble ID = "12">5253011.18646432925015687942505</ValueDouble>
         </VectorDouble>
      </PositionZ>
      <VelocityX>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">-4550.93540584227866929722949862</ValueDouble>
            <ValueDouble ID = "1">-4613.59517248963220481527969241</ValueDouble>
            <ValueDouble ID = "2">-4675.7392014416727761272341013</ValueDouble>
            <ValueDouble ID = "3">-4737.36001188217869639629498124</ValueDouble>
            <ValueDouble ID = "4">-4798.45018265628550580004230142</ValueDouble>
            <ValueDouble ID = "5">-4859.00235317559599934611469507</ValueDouble>
            <ValueDouble ID = "6">-4919.00922431625804165378212929</ValueDouble>
            <ValueDouble ID = "7">-4978.46355930987010651733726263</ValueDouble>
            <ValueDouble ID = "8">-5037.35818462716179055860266089</ValueDouble>
            <ValueDouble ID = "9">-5095.68599085427831596462056041</ValueDouble>
            <ValueDouble ID = "10">-5153.43993356159535323968157172</ValueDouble>
            <ValueDouble ID = "11">-5210.61303416495411511277779937</ValueDouble>
            <ValueDouble ID = "12">-5267.19838077919666829984635115</ValueDouble>
         </VectorDouble>
      </VelocityX>
      <VelocityY>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">-2393.11047627870402720873244107</ValueDouble>
            <ValueDouble ID = "1">-2393.84292023993748443899676204</ValueDouble>
            <ValueDouble ID = "2">-2394.21633806219915641122497618</ValueDouble>
            <ValueDouble ID = "3">-2394.23144555609133021789602935</ValueDouble>
            <ValueDouble ID = "4">-2393.88900951579989850870333612</ValueDouble>
            <ValueDouble ID = "5">-2393.18984754556595362373627722</ValueDouble>
            <ValueDouble ID = "6">-2392.13482787916154848062433302</ValueDouble>
            <ValueDouble ID = "7">-2390.72486919239008784643374383</ValueDouble>
            <ValueDouble ID = "8">-2388.960940408644546550931409</ValueDouble>
            <ValueDouble ID = "9">-2386.84406049755853018723428249</ValueDouble>
            <ValueDouble ID = "10">-2384.37529826677746314089745283</ValueDouble>
            <ValueDouble ID = "11">-2381.55577214689492393517866731</ValueDouble>
            <ValueDouble ID = "12">-2378.38664996957322728121653199</ValueDouble>
         </VectorDouble>
      </VelocityY>
      <VelocityZ>
         <VectorDouble NumberOfElements = "13">
            <ValueDouble ID = "0">5573.40445105750040966086089611</ValueDouble>
            <ValueDouble ID = "1">5521.08138799220341752516105771</ValueDouble>
            <ValueDouble ID = "2">5468.13724182268288132036104798</ValueDouble>
            <ValueDouble ID = "3">5414.57796839569346047937870026</ValueDouble>
            <ValueDouble ID = "4">5360.40959275550630991347134113</ValueDouble>
            <ValueDouble ID = "5">5305.63820846613998583052307367</ValueDouble>
            <ValueDouble ID = "6">5250.26997692587974597699940205</ValueDouble>
            <ValueDouble ID = "7">5194.31112667415163741679862142</ValueDouble>
            <ValueDouble ID = "8">5137.76795269086778716882690787</ValueDouble>
            <ValueDouble ID = "9">5080.64681568827927549136802554</ValueDouble>
            <ValueDouble ID = "10">5022.95414139544118370395153761</ValueDouble>
            <ValueDouble ID = "11">4964.69641983535893814405426383</ValueDouble>
            <ValueDouble ID = "12">4905.8802045949159946758300066</ValueDouble>
         </VectorDouble>
      </VelocityZ>
   </StateVectorData>
</HEADER_INFO>
